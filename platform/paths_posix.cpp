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

namespace {

// An absolute `path` (starting with '/') with "." segments dropped, each ".." taking back the
// segment before it (none above the root) and repeated '/' collapsed, as Windows makes full
// paths: one folder then has one spelling, whichever way it was typed. The system would follow
// a link before a "..", but the text is what the user named and sees.
std::u16string Normalized(std::u16string_view path) {
  std::u16string result;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'/', start);
    if (end == std::u16string_view::npos) end = path.size();
    const std::u16string_view segment = path.substr(start, end - start);
    if (segment == u"..") {
      const std::size_t last = result.rfind(u'/');
      result.resize(last == std::u16string::npos ? 0 : last);
    } else if (!segment.empty() && segment != u".") {
      result += u'/';
      result += segment;
    }
    start = end + 1;
  }
  // A trailing separator still says "a folder" (as in "Music/"), unless the root is all there is.
  if (result.empty() || path.back() == u'/') result += u'/';
  return result;
}

}  // namespace

std::u16string FullPath(std::u16string_view path) {
  if (!path.empty() && path.front() == u'/') return Normalized(path);
  std::string folder(256, '\0');
  // getcwd reports a buffer too small with ERANGE; a deleted current folder fails otherwise.
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return std::u16string(path);
    folder.resize(folder.size() * 2);
  }
  folder.resize(std::strlen(folder.c_str()));
  return Normalized(Utf8ToUtf16(folder) + u'/' + std::u16string(path));
}
