#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

TEST(Utf, ValidAndInvalidUtf8RoundTrip) {
  const struct {
    const char* label;
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"two- and three-byte", "K\xC3\xB6ln \xE6\x9B\xB2", u"K\u00F6ln \u66F2"},
      {"surrogate pairs, lowest and highest code point",
       "\xF0\x90\x80\x80\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF", u"\U00010000\U0001F3B5\U0010FFFF"},
      // Every byte that is not part of valid UTF-8 becomes U+DC80..U+DCFF.
      {"latin-1 byte, stray continuation", "caf\xE9\x80", u"caf\xDCE9\xDC80"},
      {"truncated sequence at the end", "x\xE6\x9B", u"x\xDCE6\xDC9B"},
      {"overlong", "\xC0\xAF\xE0\x80\xAF", u"\xDCC0\xDCAF\xDCE0\xDC80\xDCAF"},
      {"encoded surrogate", "\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.label;
    EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes) << c.label;
  }
  // All two-byte strings: valid pairs, invalid leads and stray continuations alike.
  for (int pair = 0; pair < 0x10000; ++pair) {
    const std::string bytes{static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
    ASSERT_EQ(Utf16ToUtf8(Utf8ToUtf16(bytes)), bytes) << std::hex << pair;
  }
}

TEST(Utf, SurrogatesNoByteCanProduceBecomeReplacementCharacters) {
  EXPECT_EQ(Utf16ToUtf8(u"\xD83Dx"), "\xEF\xBF\xBDx");
  EXPECT_EQ(Utf16ToUtf8(u"\xDC7F"), "\xEF\xBF\xBD");
}
