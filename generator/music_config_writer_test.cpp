#include "generator/music_config_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fake_output_file.h"

namespace {

// Writes the file for one track into `file` as the generator does; true when a write failed.
bool Render(FakeOutputFile& file, std::u16string_view key) {
  MusicConfigWriter writer(&file);
  writer.Begin();
  writer.Definitions(key);
  writer.Block(key, 1.0f);
  writer.End();
  return writer.WriteFailed();
}

// The whole text is checked end to end; here, what only the writes show. Each text goes out
// whole in one write ending in CR LF: header 2, definitions 2, block 8, closing 1. A pair
// outside the BMP is two code units, four bytes, low byte first, where one code unit of the
// BMP takes two.
TEST(MusicConfigWriterTest, OneWritePerTextOfItsCodeUnits) {
  FakeOutputFile outside, inside;
  Render(outside, u"C:\\M\\\U0001D11E.ogg");
  Render(inside, u"C:\\M\\\u00E9.ogg");
  ASSERT_EQ(outside.write_sizes().size(), 13u);
  std::size_t end = 0;
  for (const std::size_t size : outside.write_sizes()) {
    end += size;
    EXPECT_TRUE(size >= 4 && outside.bytes().compare(end - 4, 4, "\r\0\n\0", 4) == 0) << end;
  }
  // The same bytes with each U+00E9 (E9 00) as the pair D834 DD1E.
  std::string expected;
  for (std::size_t i = 0; i + 1 < inside.bytes().size(); i += 2) {
    const std::string unit = inside.bytes().substr(i, 2);
    expected += unit == std::string("\xE9\0", 2) ? "\x34\xD8\x1E\xDD" : unit;
  }
  EXPECT_EQ(outside.bytes(), expected);
}

TEST(MusicConfigWriterTest, FailedOrShortWriteIsReported) {
  FakeOutputFile whole_file;
  Render(whole_file, u"C:\\M\\a.ogg");
  const std::size_t whole = whole_file.bytes().size();
  // Room for nothing, up to mid-block, one byte short of the closing line, exactly enough.
  for (const std::size_t capacity : {std::size_t{0}, std::size_t{200}, whole - 1, whole}) {
    FakeOutputFile file(capacity);
    EXPECT_EQ(Render(file, u"C:\\M\\a.ogg"), capacity != whole) << capacity;
  }
}

}  // namespace
