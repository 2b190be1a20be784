#include "console/display_text.h"

#include "platform/utf.h"

namespace {

bool IsHidden(char16_t unit) {
  return IsControlCharacter(unit) || (unit >= 0x202A && unit <= 0x202E) ||
         (unit >= 0x2066 && unit <= 0x2069);
}

}  // namespace

std::u16string DisplayText(std::u16string_view text) {
  std::u16string shown(text);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const bool line_end = shown[i] == u'\n' && i + 1 == shown.size();
    if (!line_end && IsHidden(shown[i])) shown[i] = kReplacementCharacter;
  }
  return shown;
}
