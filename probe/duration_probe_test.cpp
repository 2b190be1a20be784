#include "probe/duration_probe.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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

}  // namespace
