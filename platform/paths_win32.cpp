#include <windows.h>

#include <string>

#include "platform/paths.h"

bool IsFolderSeparator(char16_t c) { return c == u'\\'; }

std::u16string OutputFolderPrefix(std::u16string_view arg0) {
  // FolderOf keeps the whole of argument 0 when it holds no backslash: the names tried then
  // lie below the program's own name, and creating them fails unless such a folder exists.
  std::u16string prefix(FolderOf(arg0));
  prefix.push_back(u'\\');
  return prefix;
}

std::u16string FullPath(std::u16string_view path) {
  const std::wstring plain(path.begin(), path.end());
  const DWORD size = GetFullPathNameW(plain.c_str(), 0, nullptr, nullptr);
  if (size == 0) return std::u16string(path);
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(plain.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return std::u16string(path);
  return std::u16string(full.begin(), full.begin() + length);
}
