#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "platform/utf.h"
#include "probe/duration_probe.h"
#include "tests/support/test_support.h"
#include "tests/support/wave_bytes.h"

namespace {

TEST(DurationProbePosixTest, SpecialFilesAreRefusedWithoutBlocking) {
  ScopedTempDir dir;
  const std::string fifo = dir.File("pipe.wav");
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  // Nobody writes to the FIFO: an open that waited for a writer would hang here.
  for (const std::string& path : {fifo, std::string("/dev/zero"), dir.path()}) {
    EXPECT_EQ(-1.0f, DurationProbe(Utf8ToUtf16(path))) << path;
  }
}

TEST(DurationProbePosixTest, DataChunkBeyondFourGiBInASparseFile) {
  // A JUNK chunk of almost 4 GiB puts the `data` header beyond what 32-bit offsets reach.
  const std::string head = RiffSized(0xFFFFFFFF, Chunk("fmt ", FormatBody(1, 2, 44100, 16))) +
                           ChunkHeader("JUNK", 0xFFFFFF00);
  const std::uint64_t data_offset = head.size() + 0xFFFFFF00ull;
  ScopedTempDir dir;
  const std::string path = dir.File("far_data.wav");
  {
    std::ofstream file(path, std::ios::binary);
    file << head;
    file.seekp(static_cast<std::streamoff>(data_offset));
    file << ChunkHeader("data", 1000000);
    ASSERT_TRUE(file.good());
  }
  EXPECT_EQ(5.668f, DurationProbe(Utf8ToUtf16(path)));
}

// The header pages of a real Ogg file, then a hole up to the file size. The decoder keeps
// offsets below 2 GiB: from 2 GiB on it would report a wrong length (or take seconds to), so
// the file is n/a; below, it finds no last page in the zeros and the length is 0.
TEST(DurationProbePosixTest, OggFilesOfTwoGiBOrMoreInSparseFiles) {
  const struct {
    std::uint64_t size;
    float seconds;
  } cases[] = {{(1ull << 31) - 1, 0.0f}, {1ull << 31, -1.0f}, {(1ull << 32) + 4096, -1.0f}};
  ScopedTempDir dir;
  const std::string path = dir.File("sparse.ogg");
  for (const auto& c : cases) {
    WriteBytes(path, ReadBytes(TestDataFile("vorbis_stereo_44k.ogg")).substr(0, 3936));
    ASSERT_EQ(0, ::truncate(path.c_str(), static_cast<off_t>(c.size)));
    EXPECT_EQ(c.seconds, DurationProbe(Utf8ToUtf16(path))) << c.size;
  }
}

}  // namespace
