#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  const char* label;
  std::string bytes;
  std::u16string text;
};

TEST(Utf, ValidUtf8DecodesToUtf16AndBack) {
  const Case cases[] = {
      {"empty", "", u""},
      {"ascii", "intro.ogg", u"intro.ogg"},
      {"two-byte", "K\xC3\xB6ln.wav", u"K\u00F6ln.wav"},
      {"three-byte", "\xE6\x9B\xB2.ogg", u"\u66F2.ogg"},
      {"astral (surrogate pair)", "\xF0\x9F\x8E\xB5", u"\U0001F3B5"},
      {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"U+FFFD itself", "\xEF\xBF\xBD", u"\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.label;
    EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes) << c.label;
  }
}

TEST(Utf, InvalidBytesBecomeLoneSurrogatesAndRoundTrip) {
  const Case cases[] = {
      {"latin-1 byte", "caf\xE9.wav", u"caf\xDCE9.wav"},
      {"stray continuation", "\x80", u"\xDC80"},
      {"0xFF", "a\xFF", u"a\xDCFF"},
      {"truncated sequence at end", "x\xE6\x9B", u"x\xDCE6\xDC9B"},
      {"lead byte then ascii", "\xC3" "A", u"\xDCC3" u"A"},
      {"overlong slash", "\xC0\xAF", u"\xDCC0\xDCAF"},
      {"overlong three-byte", "\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},
      {"encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
      {"0xF5 lead", "\xF5\x80\x80\x80", u"\xDCF5\xDC80\xDC80\xDC80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.label;
    EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes) << c.label;
  }
}

TEST(Utf, EveryByteStringSurvivesTheRoundTrip) {
  // All two-byte strings: valid pairs, invalid leads and stray continuations alike.
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      ASSERT_EQ(Utf16ToUtf8(Utf8ToUtf16(bytes)), bytes) << a << " " << b;
    }
  }
}

TEST(Utf, UnpairedSurrogatesNoByteCanProduceBecomeReplacementCharacter) {
  EXPECT_EQ(Utf16ToUtf8(u"\xD83D"), "\xEF\xBF\xBD");        // high surrogate at end
  EXPECT_EQ(Utf16ToUtf8(u"\xD83Dx"), "\xEF\xBF\xBDx");      // high surrogate then ascii
  EXPECT_EQ(Utf16ToUtf8(u"\xDC00"), "\xEF\xBF\xBD");        // low surrogate below the escapes
  EXPECT_EQ(Utf16ToUtf8(u"\xDC7F"), "\xEF\xBF\xBD");
}

}  // namespace
