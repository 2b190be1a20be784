#include "probe/duration_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/utf.h"
#include "tests/support/test_support.h"

namespace {

TEST(DurationProbeTest, ChoiceRule) {
  const struct {
    float wave, ogg, result;
  } cases[] = {
      {5.668f, -1.0f, 5.668f}, {5.668f, 3.0f, 5.668f}, {0.0f, 3.0f, 3.0f}, {-1.0f, 3.0f, 3.0f},
      {-1.0f, -1.0f, -1.0f},   {-1.0f, 0.0f, 0.0f},    {0.0f, 0.0f, 0.0f}, {0.0f, -1.0f, 0.0f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.result, ChooseDuration(c.wave, c.ogg)) << "W=" << c.wave << " O=" << c.ogg;
  }
}

TEST(DurationProbeTest, WaveSecondsAreWholeMillisecondsWithoutOverflow) {
  const struct {
    std::uint32_t data_size, bytes_per_second;
    float seconds;
  } cases[] = {
      {1000000, 176400, 5.668f}, {0, 176400, 0.0f},           {176, 176400, 0.0f},
      {177, 176400, 0.001f},     {5000000, 176400, 28.344f},  // beyond 32 bits times 1000
      {0xFFFFFFFF, 1000000, 4294.967f}, {10, 0, -1.0f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.seconds, WaveSeconds(c.data_size, c.bytes_per_second))
        << c.data_size << " bytes at " << c.bytes_per_second;
  }
}

// Frame counts and rates as tests/data/make_fixtures.sh made the files.
TEST(DurationProbeTest, MeasuresCommittedAudioByContent) {
  const struct {
    const char* file;
    float seconds;
  } cases[] = {
      {"vorbis_mono_8k.ogg", 4001.0f / 8000.0f},    {"vorbis_stereo_44k.ogg", 22051.0f / 44100.0f},
      {"vorbis_6ch_48k.ogg", 12007.0f / 48000.0f},  {"vorbis_stereo_96k.ogg", 24003.0f / 96000.0f},
      {"ogg_data_named.wav", 4001.0f / 8000.0f},    {"wave_data_named.ogg", 0.5f},
      {"make_fixtures.sh", -1.0f},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.seconds, DurationProbe(Utf8ToUtf16(TestDataFile(c.file)))) << c.file;
  }
}

TEST(DurationProbeTest, OggWithoutAFindableLengthMeasuresZero) {
  // With its last page cut in half the headers still open, but no page gives the length.
  ScopedTempDir dir;
  std::string bytes = ReadBytes(TestDataFile("vorbis_mono_8k.ogg"));
  const std::size_t last_page = bytes.rfind("OggS");
  ASSERT_GT(last_page, 0u);
  ASSERT_NE(std::string::npos, last_page);
  bytes.resize(last_page + (bytes.size() - last_page) / 2);
  WriteBytes(dir.File("cut.ogg"), bytes);
  EXPECT_EQ(0.0f, DurationProbe(Utf8ToUtf16(dir.File("cut.ogg"))));
}

// `file` with its comment header replaced by `comment`: the header packets laced again into
// pages (without checksums, which the decoder does not check there), the audio pages as they were.
std::string WithComment(const std::string& file, const std::string& comment) {
  std::vector<std::string> packets(1);
  std::size_t at = 0;
  for (; packets.size() < 4; ) {  // the setup packet ends the header pages
    const std::size_t segments = static_cast<unsigned char>(file.at(at + 26));
    std::size_t body = at + 27 + segments;
    for (std::size_t i = 0; i < segments; ++i) {
      const std::size_t size = static_cast<unsigned char>(file.at(at + 27 + i));
      packets.back() += file.substr(body, size);
      body += size;
      if (size < 255) packets.emplace_back();
    }
    at = body;
  }
  packets[1] = comment;
  std::string out, lacing, body;
  char flags = 2;
  const auto flush = [&]() {
    out += std::string("OggS\0", 5) + flags + std::string(8, '\0') + file.substr(14, 4) +
           std::string(8, '\0') + static_cast<char>(lacing.size()) + lacing + body;
    flags = lacing.back() == '\xFF' ? 1 : 0;
    lacing.clear(), body.clear();
  };
  for (int p = 0; p < 3; ++p) {
    for (std::size_t offset = 0, size = 255; size == 255; offset += size) {
      if (lacing.size() == 255) flush();
      size = std::min<std::size_t>(255, packets[p].size() - offset);
      lacing += static_cast<char>(size);
      body += packets[p].substr(offset, size);
    }
    if (p == 0) flush();
  }
  flush();
  return out + file.substr(at);
}

// Comment headers larger than the decoder's first memory area measure as the file without them.
TEST(DurationProbeTest, LargeCommentHeadersMeasureAsWithoutThem) {
  const auto comment = [](std::uint32_t count, const std::string& text) {
    std::string out = "\x03vorbis";
    AppendU32(out, 1);
    out += "v";
    AppendU32(out, count);
    for (std::uint32_t i = 0; i < count; ++i) {
      AppendU32(out, static_cast<std::uint32_t>(text.size()));
      out += text;
    }
    return out + "\x01";
  };
  const std::string real = ReadBytes(TestDataFile("vorbis_stereo_44k.ogg"));
  const struct {
    const char* name;
    std::string comment;
  } cases[] = {
      {"5 MiB of cover art", comment(1, "METADATA_BLOCK_PICTURE=" + std::string(5 << 20, 'A'))},
      {"60000 comments of 100 bytes", comment(60000, std::string(100, 'c'))},
  };
  ScopedTempDir dir;
  for (const auto& c : cases) {
    WriteBytes(dir.File("big.ogg"), WithComment(real, c.comment));
    EXPECT_EQ(22051.0f / 44100.0f, DurationProbe(Utf8ToUtf16(dir.File("big.ogg")))) << c.name;
  }
}

}  // namespace
