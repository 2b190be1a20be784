#include "probe/duration_probe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/utf.h"
#include "tests/support/crafted_files.h"
#include "tests/support/test_support.h"

namespace {

// A measured WAVE wins, then a measured Ogg stream; else an empty WAVE is a real 0, and a
// failed WAVE route defers to the Ogg route's -1 or 0.
TEST(DurationProbeTest, ChoiceRule) {
  // WAVE seconds, Ogg seconds (-1: not measured), result.
  const float cases[][3] = {{5.668f, -1, 5.668f}, {5.668f, 3, 5.668f}, {0, 3, 3}, {-1, 3, 3},
                            {-1, -1, -1},         {-1, 0, 0},          {0, 0, 0}, {0, -1, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(c[2], ChooseDuration(c[0], c[1])) << "W=" << c[0] << " O=" << c[1];
  }
}

// One open serves both routes, kept from writers where the platform can: a WAVE file another
// program holds open for writing (which Windows then refuses to keep from writers) measures.
TEST(DurationProbeTest, WaveHeldOpenForWritingMeasures) {
  ScopedTempDir folder;
  const std::string name = folder.File("held.wav");
  const std::string second(8000, '\0');  // of 8-bit mono at 8000 Hz
  WriteBytes(name, Riff(Chunk("fmt ", FormatBody(1, 1, 8000, 8)) + Chunk("data", second)));
  std::FILE* writer = std::fopen(name.c_str(), "ab");
  ASSERT_NE(nullptr, writer);
  EXPECT_EQ(1.0f, DurationProbe(Utf8ToUtf16(name)));
  (void)std::fclose(writer);
}

}  // namespace
