#include "platform/paths.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/utf.h"

bool IsFolderSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

bool SameFolder(std::u16string_view a, std::u16string_view b) { return a == b; }

std::u16string OutputFolderPrefix(std::u16string_view arg0) {
  const std::u16string_view name = FileNameOf(arg0);
  // Started by its path: beside the program, keeping the separator that was found. Started by
  // name through PATH: the current folder, where the user is working (and an installed
  // program's own folder is not writable).
  return std::u16string(arg0.substr(0, arg0.size() - name.size()));
}

std::u16string FullPath(std::u16string_view path) {
  if (!path.empty() && path.front() == u'/') return std::u16string(path);
  std::string folder(256, '\0');
  // getcwd reports a buffer too small with ERANGE; a deleted current folder fails otherwise.
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return std::u16string(path);
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::strlen(folder.c_str()));
  if (folder.back() != '/') folder.push_back('/');
  return Utf8ToUtf16(folder) + std::u16string(path);
}
