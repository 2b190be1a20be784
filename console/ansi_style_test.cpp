#include "console/ansi_style.h"

#include <gtest/gtest.h>

#include <string>

TEST(AnsiStyleTest, TitleAndTextCannotCarryControlCharacters) {
  EXPECT_EQ(TitleEscape(u"a\x1b]0;b\x07" u"c\n\u009C\u00E9"), "\x1b]0;a]0;bc\xC3\xA9\x07");
  const std::string r = "\xEF\xBF\xBD";  // U+FFFD
  const struct {
    const char* what;
    std::u16string text;
    std::string expected;
  } cases[] = {
      {"C0 but the line feed, DEL, C1", u"\x1b[2J\t\r\x7F\u009B\n", r + "[2J" + r + r + r + r + "\n"},
      {"a line feed not ending the text, bidi embeddings, overrides, isolates",
       u"a\nb\u202Ac\u202E\u2066\u2069\u200F\n", "a" + r + "b" + r + "c" + r + r + r + "\u200F\n"},
      {"raw name bytes in the C1 range, both ends", u"\xDC80\xDC9B\xDC9F", r + r + r},
      {"other raw name bytes pass", u"\xDCFF\xDCA0", "\xFF\xA0"},
      {"pair whose second unit looks like a raw C1 byte", u"\U0001F480", "\xF0\x9F\x92\x80"},
  };
  for (const auto& c : cases) EXPECT_EQ(TerminalText(c.text), c.expected) << c.what;
}
