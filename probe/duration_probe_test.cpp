#include "probe/duration_probe.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/utf.h"
#include "tests/support/crafted_files.h"
#include "tests/support/test_support.h"

namespace {

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
