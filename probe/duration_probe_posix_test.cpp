#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "platform/utf.h"
#include "probe/duration_probe.h"
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

}  // namespace
