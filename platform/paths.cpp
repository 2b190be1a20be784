#include "platform/paths.h"

namespace {

// Index of the last folder separator in `path`, or npos.
std::size_t LastSeparator(std::u16string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsFolderSeparator(path[i - 1])) return i - 1;
  }
  return std::u16string_view::npos;
}

}  // namespace

std::u16string_view FileNameOf(std::u16string_view path) {
  const std::size_t last = LastSeparator(path);
  return last == std::u16string_view::npos ? path : path.substr(last + 1);
}

std::u16string_view FolderOf(std::u16string_view path) {
  const std::size_t last = LastSeparator(path);
  return last == std::u16string_view::npos ? path : path.substr(0, last);
}
