#include "platform/paths_win32.h"

#include <windows.h>

#include <string>

#include "platform/paths.h"

namespace {

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

std::u16string Utf16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// What GetFullPathNameW makes of `path`; empty when it fails. It neither touches the disk nor
// knows the 260-character limit.
std::wstring FullPathName(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return {};
  full.resize(length);
  return full;
}

// `path` with each 8.3 short name replaced by the long one, or empty when the file does not
// exist (GetLongPathNameW asks the disk).
std::wstring LongPathName(const std::wstring& path) {
  std::wstring expanded(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetLongPathNameW(path.c_str(), expanded.data(),
                                          static_cast<DWORD>(expanded.size()));
    if (length == 0) return {};
    if (length < expanded.size()) {
      expanded.resize(length);
      return expanded;
    }
    expanded.resize(length);  // the size it needs, terminator included
  }
}

}  // namespace

bool IsFolderSeparator(char16_t c) { return c == u'\\'; }

bool SameFolder(std::u16string_view a, std::u16string_view b) {
  // Ordinal, as the file system matches names: the user's locale does not matter. Paths come
  // from a command line of at most 32,767 characters, so their lengths fit an int.
  const std::wstring wide_a = Wide(a);
  const std::wstring wide_b = Wide(b);
  return CompareStringOrdinal(wide_a.data(), static_cast<int>(wide_a.size()), wide_b.data(),
                              static_cast<int>(wide_b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FileCallPath(std::u16string_view path) {
  const std::wstring plain = Wide(path);
  if (plain.rfind(L"\\\\?\\", 0) == 0 || plain.rfind(L"\\\\.\\", 0) == 0) return plain;
  const std::wstring full = FullPathName(plain);
  if (full.size() <= kPlainPathLimit) return plain;
  if (full.rfind(L"\\\\.\\", 0) == 0) return full;  // a device path has no long form
  // \\server\share\... becomes \\?\UNC\server\share\...
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

std::u16string OutputFolderPrefix(std::u16string_view arg0) {
  // Argument 0 is whatever the starter typed ("Brevane.exe" in cmd, "C:/Tools/Brevane.exe"
  // from a script), so the folder comes from the system. The buffer grows until the whole
  // path fits: a deep folder has no 260-character limit here.
  std::wstring module(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, module.data(), static_cast<DWORD>(module.size()));
    if (length == 0 || module.size() > 0x10000) {
      std::u16string prefix(FolderOf(arg0));
      prefix.push_back(u'\\');
      return prefix;
    }
    if (length < module.size()) {
      module.resize(length);
      break;
    }
    module.resize(module.size() * 2);  // cut short
  }
  std::u16string prefix(FolderOf(WithoutExtendedPrefix(Utf16(module))));
  prefix.push_back(u'\\');
  return prefix;
}

std::u16string FullPath(std::u16string_view path) {
  // An extended-length path is full already, and GetFullPathNameW would drop what that form
  // alone can name (a trailing dot or blank).
  std::wstring full = Wide(path);
  if (full.rfind(L"\\\\?\\", 0) != 0) {
    full = FullPathName(full);
    if (full.empty()) return std::u16string(path);
  }
  const std::wstring expanded = LongPathName(FileCallPath(Utf16(full)));
  return WithoutExtendedPrefix(Utf16(expanded.empty() ? full : expanded));
}
