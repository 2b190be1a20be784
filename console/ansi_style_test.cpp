#include "console/ansi_style.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// RGB values as the colour table gives them, not as read from kPalette.
TEST(AnsiStyleTest, AttributeEscapeSetsForegroundAndBackground) {
  struct Case {
    std::uint16_t attribute;
    const char* expected;
  };
  const Case cases[] = {
      {1, "\x1b[38;2;255;255;255;48;2;25;25;25m"},
      {7, "\x1b[38;2;89;102;117;48;2;25;25;25m"},
      {10, "\x1b[38;2;182;174;118;48;2;25;25;25m"},
      {12, "\x1b[38;2;200;40;10;48;2;25;25;25m"},
      {13, "\x1b[38;2;189;99;197;48;2;25;25;25m"},
      {198, "\x1b[38;2;159;172;187;48;2;200;40;10m"},  // background 12, foreground 6
      {0x0F0, "\x1b[38;2;25;25;25;48;2;87;166;74m"},
      {0x810A, "\x1b[38;2;182;174;118;48;2;25;25;25m"},  // bits above the low byte ignored
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AttributeEscape(c.attribute), c.expected) << c.attribute;
  }
}

TEST(AnsiStyleTest, TitleEscapeDropsControlCharacters) {
  struct Case {
    std::u16string title;
    const char* expected;
  };
  const Case cases[] = {
      {u"Orvend's Lumtass v1.0", "\x1b]0;Orvend's Lumtass v1.0\x07"},
      {u"", "\x1b]0;\x07"},
      {u"a\x1b]0;b\x07" u"c\n", "\x1b]0;a]0;bc\x07"},
      {u"x\u009Cy\u007Fz", "\x1b]0;xyz\x07"},
      {u"\u00E9\U0001F3B5", "\x1b]0;\xC3\xA9\xF0\x9F\x8E\xB5\x07"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TitleEscape(c.title), c.expected);
  }
}

TEST(AnsiStyleTest, TerminalTextReplacesWhatATerminalWouldObey) {
  const std::string replacement = "\xEF\xBF\xBD";
  struct Case {
    const char* what;
    std::u16string text;
    std::string expected;
  };
  const Case cases[] = {
      {"plain text and line feed", u"a b.wav  -  1.50\n", "a b.wav  -  1.50\n"},
      {"escape", u"a\x1b[2Jb", "a" + replacement + "[2Jb"},
      {"other C0 and DEL", u"\t\r\a\b\x7F", replacement + replacement + replacement +
                                                replacement + replacement},
      {"C1 character", u"x\u009By", "x" + replacement + "y"},
      {"raw name byte in the C1 range", std::u16string(1, char16_t{0xDC9B}),
       replacement},
      {"other raw name bytes pass", u"\xDCFF\xDCA0", "\xFF\xA0"},
      {"pair whose second unit looks like a raw C1 byte", u"\U0001F480", "\xF0\x9F\x92\x80"},
      {"non-ASCII letters", u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TerminalText(c.text), c.expected) << c.what;
  }
}

}  // namespace
