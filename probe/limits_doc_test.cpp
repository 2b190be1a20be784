#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "probe/decoder_mirror/ogg_caps.h"
#include "probe/decoder_mirror/ogg_length_guard.h"
#include "probe/wave_reader.h"
#include "tests/support/test_support.h"

namespace {

// A count as docs/limits.md writes it, in groups of three digits: "16 384".
std::string Grouped(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, " ");
  return digits;
}
std::string Mib(std::uint64_t bytes) { return Grouped(bytes >> 20) + " MiB"; }

// The caps table of docs/limits.md states each cap to users by its number: a changed constant
// must change the document with it.
TEST(LimitsDocTest, StatesEveryCapAsTheConstantsSet) {
  const std::string doc = ReadBytes(std::string(PROBE_TEST_FILES) + "/../docs/limits.md");
  ASSERT_FALSE(doc.empty());
  const std::string rows[] = {
      Grouped(kMaxWaveChunkHeaders) + " chunks",
      Mib(kMaxVorbisHeaderBytes) + " of headers",
      Mib(kMaxFirstAudioBytes) + " to the first audio",
      Grouped(kMaxVorbisComments) + " comments",
      Mib(kMaxDecoderAreaBytes) + " per comment",
      Grouped(kMaxTotalCodebookEntries) + " codebook entries",
      Grouped(kMaxTotalCodebookValues) + " codebook values",
      Grouped(kMaxResidueClassEntries) + " classification entries",
      Grouped(kMaxResidueClassValues) + " classification values",
      Grouped(kMaxResiduePartitions) + " partitions",
      Mib(kMaxDecoderAreaBytes) + " of decoder memory",
      Grouped((kMaxOggFileSize + 1) >> 30) + " GiB",
      Mib(kMaxLastPageSearchBytes) + " of end search",
      Grouped(kDecoderSaturatedFrames) + " frames",
  };
  for (const std::string& row : rows) {
    EXPECT_NE(doc.find("\n| " + row + " |"), std::string::npos) << row;
  }
}

}  // namespace
