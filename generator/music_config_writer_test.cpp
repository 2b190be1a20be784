#include "generator/music_config_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fake_output_file.h"

namespace {

// Writes the file for one track as the generator does.
void Render(MusicConfigWriter& writer, std::u16string_view key, float seconds) {
  writer.Begin();
  writer.Definitions(key);
  writer.Block(key, seconds);
  writer.End();
}

// The whole text is checked end to end; here, what only the writes show. Each text goes out
// whole in one write ending in CR LF: header 2, definitions 2, block 8, closing 1. A pair
// outside the BMP is two code units, four bytes, low byte first, where one code unit of the
// BMP takes two.
TEST(MusicConfigWriterTest, OneWritePerTextOfItsCodeUnits) {
  FakeOutputFile outside, inside;
  MusicConfigWriter outside_writer(&outside), inside_writer(&inside);
  Render(outside_writer, u"C:\\M\\\U0001D11E.ogg", 1.0f);
  Render(inside_writer, u"C:\\M\\\u00E9.ogg", 1.0f);
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
  MusicConfigWriter whole_writer(&whole_file);
  Render(whole_writer, u"C:\\M\\a.ogg", 1.0f);
  const std::size_t whole = whole_file.bytes().size();
  // Full from the start, mid-block, one byte short of the closing line, exactly enough.
  const struct {
    std::size_t capacity;
    bool failed;
  } cases[] = {{0, true}, {200, true}, {whole - 1, true}, {whole, false}};
  for (const auto& c : cases) {
    FakeOutputFile file(c.capacity);
    MusicConfigWriter writer(&file);
    Render(writer, u"C:\\M\\a.ogg", 1.0f);
    EXPECT_EQ(writer.WriteFailed(), c.failed) << c.capacity;
  }
}

}  // namespace
