#include "platform/manual.h"

#include "platform/paths.h"

std::u16string ManualPlace(std::u16string_view /*command*/, std::u16string_view arg0) {
  // The zip holds README.txt beside the two programs.
  return OutputFolderPrefix(arg0) + u"README.txt";
}

std::u16string StartingHint(std::u16string_view /*name*/, std::u16string_view /*command*/) {
  return {};
}
