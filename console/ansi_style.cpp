#include "console/ansi_style.h"

#include "console/display_text.h"
#include "console/palette.h"
#include "platform/utf.h"

namespace {

void AppendColour(std::string* out, std::uint32_t colour) {
  *out += std::to_string(PaletteRed(colour));
  *out += ';';
  *out += std::to_string(PaletteGreen(colour));
  *out += ';';
  *out += std::to_string(PaletteBlue(colour));
}

// Whether text[i] reaches the terminal as a control character. A name byte 0x80..0x9F that
// was not valid UTF-8 is held as a lone U+DC80..U+DC9F and would be written as that raw byte,
// which some terminals take as a C1 control; the same units after a high surrogate are the
// second half of an ordinary character.
bool IsControlAt(std::u16string_view text, std::size_t i) {
  const char16_t unit = text[i];
  if (IsControlCharacter(unit)) return true;
  return unit >= 0xDC80 && unit <= 0xDC9F && (i == 0 || !IsHighSurrogate(text[i - 1]));
}

}  // namespace

std::string AttributeEscape(std::uint16_t attribute) {
  std::string out = "\x1b[38;2;";
  AppendColour(&out, kPalette[attribute & 0x0F]);
  out += ";48;2;";
  AppendColour(&out, kPalette[(attribute >> 4) & 0x0F]);
  out += 'm';
  return out;
}

std::string TitleEscape(std::u16string_view title) {
  std::u16string clean;
  for (std::size_t i = 0; i < title.size(); ++i) {
    if (!IsControlAt(title, i)) clean.push_back(title[i]);
  }
  return "\x1b]0;" + Utf16ToUtf8(clean) + "\x07";
}

std::string TerminalText(std::u16string_view text) {
  std::u16string clean = DisplayText(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (clean[i] != u'\n' && IsControlAt(text, i)) clean[i] = kReplacementCharacter;
  }
  return Utf16ToUtf8(clean);
}
