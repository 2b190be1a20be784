#include "platform/paths.h"

namespace {

// Index of the last folder separator in `path`, or npos.
std::size_t LastSeparator(std::u16string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsFolderSeparator(path[i - 1])) return i - 1;
  }
  return std::u16string_view::npos;
}

// The separator the system itself reads: '/' where it is one at all, else the backslash. A
// POSIX name may hold a backslash, which FileNameOf splits on for display only.
char16_t SystemSeparator() { return IsFolderSeparator(u'/') ? u'/' : u'\\'; }

}  // namespace

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t last = LastSeparator(path);
  return last == std::u16string_view::npos ? path : path.substr(last + 1);
}

std::u16string_view FolderOf(std::u16string_view path) {
  const std::size_t last = LastSeparator(path);
  return last == std::u16string_view::npos ? path : path.substr(0, last);
}

std::u16string JoinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  // A bare drive ("C:") stands for that drive's current folder, and "C:\x" would be its root:
  // "C:.\x" keeps the folder and still ends in a separator before the file's name.
  if (SystemSeparator() == u'\\' && path.size() == 2 && path[1] == u':') path += u'.';
  if (!path.empty() && path.back() != SystemSeparator()) path += SystemSeparator();
  path += name;
  return path;
}

std::u16string_view WithoutTrailingSeparators(std::u16string_view path) {
  std::size_t end = path.size();
  while (end > 0 && path[end - 1] == SystemSeparator()) --end;
  return end == 0 ? path : path.substr(0, end);
}

std::u16string WithoutExtendedPrefix(std::u16string_view path) {
  constexpr std::u16string_view kPrefix = u"\\\\?\\";
  if (path.substr(0, kPrefix.size()) != kPrefix) return std::u16string(path);
  const std::u16string_view rest = path.substr(kPrefix.size());
  // Windows reads the UNC marker without regard to case.
  std::u16string marker(rest.substr(0, 4));
  for (char16_t& c : marker) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  if (marker == u"UNC\\") return u"\\\\" + std::u16string(rest.substr(4));
  return std::u16string(rest);
}
