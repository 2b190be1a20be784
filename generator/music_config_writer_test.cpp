#include "generator/music_config_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/expected_config_text.h"
#include "tests/support/fake_output_file.h"

namespace {

using Entries = std::vector<std::pair<std::u16string, float>>;

// Drives the writer the way the generator does, over entries already in table order.
void Render(MusicConfigWriter& writer, const Entries& entries) {
  writer.Begin();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i == 0) writer.Definitions(entries[i].first);
    writer.Block(entries[i].first, entries[i].second);
  }
  writer.End();
}

TEST(MusicConfigWriterTest, ExampleFileByteForByteOneWritePerText) {
  FakeOutputFile file;
  MusicConfigWriter writer(&file);
  Render(writer, {{u"C:\\Music\\intro.ogg", 61.5f}, {u"C:\\Music\\outro.wav", 5.668f}});
  const std::string expected =
      "class CfgMusic\r\n"
      "{\r\n"
      "\t#define TRACK_NAME(NAME) $STR_A3_CfgMusic_##NAME\r\n"
      "\t#define TRACK_PATH(FILE) C:\\Music\\##FILE\r\n"
      "\r\n"
      "\tclass intro\r\n"
      "\t{\r\n"
      "\t\tname = TRACK_NAME(intro);\r\n"
      "\t\tsound[] = { TRACK_PATH(intro.ogg), db+0, 1.0 };\r\n"
      "\t\tduration = 61.50;\r\n"
      "\t\tmusicClass = \"\";\r\n"
      "\t\ttheme = \"\";\r\n"
      "\t};\r\n"
      "\r\n"
      "\tclass outro\r\n"
      "\t{\r\n"
      "\t\tname = TRACK_NAME(outro);\r\n"
      "\t\tsound[] = { TRACK_PATH(outro.wav), db+0, 1.0 };\r\n"
      "\t\tduration = 5.67;\r\n"
      "\t\tmusicClass = \"\";\r\n"
      "\t\ttheme = \"\";\r\n"
      "\t};\r\n"
      "};\r\n";
  EXPECT_EQ(file.bytes(), Utf16Le(expected));
  // Header 2, definitions 2, 8 per block, closing 1; the first is "class CfgMusic\r\n".
  ASSERT_EQ(file.write_sizes().size(), 21u);
  EXPECT_EQ(file.write_sizes()[0], 32u);
}

TEST(MusicConfigWriterTest, Layouts) {
  const struct {
    const char* what;
    Entries entries;
    std::string expected;
  } cases[] = {
      {"every entry n/a: no blocks, folder of the first",
       {{u"D:\\x\\a.ogg", -1.0f}, {u"E:\\y\\b.wav", -1.0f}},
       ExpectedHead("D:\\x") + kExpectedEnd},
      {"first entry n/a still defines the macros",
       {{u"D:\\x\\a.ogg", -1.0f}, {u"E:\\y\\b.wav", 0.0f}},
       ExpectedHead("D:\\x") + ExpectedBlock("b", "b.wav", "0.00") + kExpectedEnd},
      {"several folders: TRACK_PATH from the first, file names only in blocks",
       {{u"C:\\A\\one.ogg", 1.0f}, {u"C:\\B\\sub\\two.ogg", 2.0f}},
       ExpectedHead("C:\\A") + ExpectedBlock("one", "one.ogg", "1.00") +
           ExpectedBlock("two", "two.ogg", "2.00") + kExpectedEnd},
      {"class names: last dot, no dot, leading dot",
       {{u"C:\\m\\.ogg", 3.0f}, {u"C:\\m\\a.b.ogg", 4.0f}, {u"C:\\m\\noext", 5.0f}},
       ExpectedHead("C:\\m") + ExpectedBlock("", ".ogg", "3.00") +
           ExpectedBlock("a.b", "a.b.ogg", "4.00") + ExpectedBlock("noext", "noext", "5.00") +
           kExpectedEnd},
      {"names written as UTF-16 code units, beyond the BMP too",
       {{u"C:\\Müsik\\Größe 𝄞 (live).ogg", 7.25f}},
       ExpectedHead("C:\\Müsik") + ExpectedBlock("Größe 𝄞 (live)", "Größe 𝄞 (live).ogg", "7.25") +
           kExpectedEnd},
      {"control characters: folder marked, the entry whose name holds one left out",
       {{u"C:\\a\n#include \"x\"\\inj\n\t};\x7F.ogg", 1.0f}, {u"C:\\b\\ok\x1b.wav", 2.0f},
        {u"C:\\b\\fine.wav", 3.0f}},
       ExpectedHead("C:\\a\uFFFD#include \"x\"") + ExpectedBlock("fine", "fine.wav", "3.00") +
           kExpectedEnd},
  };
  for (const auto& c : cases) {
    FakeOutputFile file;
    MusicConfigWriter writer(&file);
    Render(writer, c.entries);
    EXPECT_EQ(file.bytes(), Utf16Le(c.expected)) << c.what;
  }
}

TEST(MusicConfigWriterTest, FailedOrShortWriteIsReported) {
  const std::size_t whole =
      Utf16Le(ExpectedHead("C:\\M") + ExpectedBlock("a", "a.ogg", "1.00") + kExpectedEnd).size();
  // Full from the start, mid-block, one byte short of the closing line, exactly enough.
  const struct {
    std::size_t capacity;
    bool failed;
  } cases[] = {{0, true}, {200, true}, {whole - 1, true}, {whole, false}};
  for (const auto& c : cases) {
    FakeOutputFile file(c.capacity);
    MusicConfigWriter writer(&file);
    Render(writer, {{u"C:\\M\\a.ogg", 1.0f}});
    EXPECT_EQ(writer.WriteFailed(), c.failed) << c.capacity;
  }
}

}  // namespace
