#include "probe/duration_probe.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/utf.h"
#include "probe/vorbis_length.h"
#include "probe/wave_reader.h"
#include "probe/wave_test_bytes.h"
#include "tests/support/test_support.h"

namespace {

// 16-bit stereo PCM at `average_bytes_per_second` whose `data` chunk declares
// `declared_data_size` bytes and holds `present_data_bytes`.
std::string PcmWave(std::uint32_t average_bytes_per_second, std::uint32_t declared_data_size,
                    std::uint32_t present_data_bytes) {
  return Riff(Fmt(Format(1, 2, average_bytes_per_second / 4, 16)) +
              ChunkHeader("data", declared_data_size) + std::string(present_data_bytes, '\x11'));
}

TEST(ChooseDurationTest, FollowsTheRuleTable) {
  struct Case {
    float wave, ogg, result;
  };
  const std::vector<Case> cases = {
      {5.668f, -1.0f, 5.668f}, {5.668f, 0.0f, 5.668f},  {5.668f, 3.0f, 5.668f},
      {0.0f, 3.0f, 3.0f},      {-1.0f, 3.0f, 3.0f},     {-1.0f, -1.0f, -1.0f},
      {-1.0f, 0.0f, 0.0f},     {0.0f, 0.0f, 0.0f},      {0.0f, -1.0f, 0.0f},
      {0.001f, 3.0f, 0.001f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.result, ChooseDuration(c.wave, c.ogg)) << "W=" << c.wave << " O=" << c.ogg;
  }
}

TEST(WaveSecondsTest, GivesWholeMillisecondsWithoutOverflow) {
  struct Case {
    std::uint32_t data_size, average_bytes_per_second;
    float seconds;
  };
  const std::vector<Case> cases = {
      {1000000, 176400, 5.668f},
      {0, 176400, 0.0f},
      {176, 176400, 0.0f},     // under one millisecond
      {177, 176400, 0.001f},
      {5000000, 176400, 28.344f},  // the product needs more than 32 bits
      {0xFFFFFFFF, 1000000, 4294.967f},
      {16000, 16000, 1.0f},
      {10, 0, -1.0f},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.seconds, WaveSeconds(c.data_size, c.average_bytes_per_second))
        << c.data_size << " bytes at " << c.average_bytes_per_second;
  }
  // 24347887 ms: beyond float's exact integers, so only nearly equal.
  EXPECT_FLOAT_EQ(24347.887f, WaveSeconds(0xFFFFFFFF, 176400));
}

TEST(DurationProbeTest, MeasuresCommittedAudioByContent) {
  struct Case {
    const char* file;
    float wave_route;  // -1: the WAVE reader refuses it
    float ogg_route;
    float result;
  };
  auto frames_per_rate = [](std::uint32_t frames, std::uint32_t rate) {
    return static_cast<float>(frames) / static_cast<float>(rate);
  };
  const float mono = frames_per_rate(4001, 8000);
  const std::vector<Case> cases = {
      {"vorbis_mono_8k.ogg", -1.0f, mono, mono},
      {"vorbis_stereo_44k.ogg", -1.0f, frames_per_rate(22051, 44100),
       frames_per_rate(22051, 44100)},
      {"vorbis_6ch_48k.ogg", -1.0f, frames_per_rate(12007, 48000), frames_per_rate(12007, 48000)},
      {"vorbis_stereo_96k.ogg", -1.0f, frames_per_rate(24003, 96000),
       frames_per_rate(24003, 96000)},
      {"ogg_data_named.wav", -1.0f, mono, mono},
      // 8002 data bytes at 16000 bytes per second: 500 whole milliseconds.
      {"wave_data_named.ogg", 0.5f, -1.0f, 0.5f},
      {"make_fixtures.sh", -1.0f, -1.0f, -1.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::u16string path = Utf8ToUtf16(TestDataFile(c.file));
    WaveReader reader;
    EXPECT_EQ(c.wave_route >= 0.0f, reader.Open(path));
    if (reader.is_open()) {
      EXPECT_EQ(c.wave_route,
                WaveSeconds(reader.data_size(), reader.format().average_bytes_per_second));
    }
    EXPECT_EQ(c.ogg_route, VorbisSeconds(path));
    EXPECT_EQ(c.result, DurationProbe(path));
  }
}

TEST(DurationProbeTest, OggWithoutAFindableLengthMeasuresZero) {
  // With its last page cut in half, the stream still opens (the headers are whole) but no
  // complete page gives its length.
  ScopedTempDir dir;
  std::string bytes = ReadBytes(TestDataFile("vorbis_mono_8k.ogg"));
  const std::size_t last_page = bytes.rfind("OggS");
  ASSERT_NE(std::string::npos, last_page);
  ASSERT_GT(last_page, 0u);
  bytes.resize(last_page + (bytes.size() - last_page) / 2);
  WriteBytes(dir.File("cut.ogg"), bytes);
  const std::u16string path = Utf8ToUtf16(dir.File("cut.ogg"));
  EXPECT_EQ(0.0f, VorbisSeconds(path));
  EXPECT_EQ(0.0f, DurationProbe(path));
}

TEST(DurationProbeTest, MeasuresWrittenFiles) {
  struct Case {
    const char* name;
    std::string bytes;
    float seconds;
  };
  const std::vector<Case> cases = {
      {"empty_data.wav", PcmWave(176400, 0, 0), 0.0f},
      {"under_a_millisecond.wav", PcmWave(176400, 100, 100), 0.0f},
      // The declared size counts, not the bytes present.
      {"declared_only.wav", PcmWave(176400, 1000000, 8), 5.668f},
      {"zero_rate.wav", PcmWave(0, 100, 100), -1.0f},
      {"empty.wav", "", -1.0f},
      {"text.ogg", "neither WAVE nor Ogg", -1.0f},
  };
  ScopedTempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir.File(c.name), c.bytes);
    EXPECT_EQ(c.seconds, DurationProbe(Utf8ToUtf16(dir.File(c.name))));
  }
}

TEST(DurationProbeTest, NonFilesAreNotMeasurable) {
  ScopedTempDir dir;
  EXPECT_EQ(-1.0f, DurationProbe(Utf8ToUtf16(dir.File("missing.wav"))));
  EXPECT_EQ(-1.0f, DurationProbe(Utf8ToUtf16(dir.path())));
  EXPECT_EQ(-1.0f, DurationProbe(u""));
}

}  // namespace
