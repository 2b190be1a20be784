#include "generator/music_config_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_output_file.h"

namespace {

// Writes the file for one track as the generator does.
void Render(MusicConfigWriter& writer, std::u16string_view key, float seconds) {
  writer.Begin();
  writer.Definitions(key);
  writer.Block(key, seconds);
  writer.End();
}

// The whole text is checked end to end; here, what only the writes show: one write per text,
// counted in code units (a pair outside the BMP is two), low byte first.
TEST(MusicConfigWriterTest, OneWritePerTextOfItsCodeUnits) {
  FakeOutputFile file;
  MusicConfigWriter writer(&file);
  Render(writer, u"C:\\M\\\U0001D11E.ogg", 1.0f);
  // Header 2, definitions 2, block 8, closing 1.
  const std::vector<std::size_t> sizes = {32, 6, 102, 78, 26, 8, 52, 96, 40, 40, 30, 10, 8};
  EXPECT_EQ(file.write_sizes(), sizes);
  EXPECT_EQ(file.bytes().substr(0, 4), std::string("c\0l\0", 4));
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
