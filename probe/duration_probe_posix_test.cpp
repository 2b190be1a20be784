#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "platform/utf.h"
#include "probe/duration_probe.h"
#include "probe/wave_test_bytes.h"
#include "tests/support/test_support.h"

namespace {

TEST(DurationProbePosixTest, SpecialFilesAreRefusedWithoutBlocking) {
  ScopedTempDir dir;
  const std::string fifo = dir.File("pipe.wav");
  ASSERT_EQ(0, ::mkfifo(fifo.c_str(), 0600));
  // Nobody writes to the FIFO: an open that waited for a writer would hang here.
  EXPECT_EQ(-1.0f, DurationProbe(Utf8ToUtf16(fifo)));
  EXPECT_EQ(-1.0f, DurationProbe(u"/dev/zero"));
}

TEST(DurationProbePosixTest, NonAsciiNames) {
  ScopedTempDir dir;
  const std::string name = dir.File("gr\xC3\xBC\xC3\x9F" "e \xE2\x99\xAA.ogg");
  WriteBytes(name, ReadBytes(TestDataFile("vorbis_mono_8k.ogg")));
  EXPECT_EQ(4001.0f / 8000.0f, DurationProbe(Utf8ToUtf16(name)));
}

// Builds a sparse file: only the bytes written take space; the gaps read as zeros.
void WriteAt(std::fstream& file, std::uint64_t offset, const std::string& bytes) {
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(DurationProbePosixTest, ChunksNearFourGiBInSparseFiles) {
  const std::string head =
      RiffSized(0xFFFFFFFF, "") + Fmt(Format(1, 2, 44100, 16));  // 176400 bytes per second
  // A JUNK chunk of almost 4 GiB puts the `data` header as far as a RIFF size allows: beyond
  // the 2 GiB that a 32-bit signed file offset reaches.
  const std::string junk = ChunkHeader("JUNK", 0xFFFFFF00);
  const std::string data = ChunkHeader("data", 1000000);
  const std::uint64_t data_offset = head.size() + junk.size() + 0xFFFFFF00ull;
  ASSERT_GT(data_offset, 0x7FFFFFFFull);

  ScopedTempDir dir;
  const std::string far_data = dir.File("far_data.wav");
  const std::string zeros = dir.File("zeros.wav");
  WriteBytes(far_data, "");
  WriteBytes(zeros, "");
  {
    std::fstream file(far_data, std::ios::in | std::ios::out | std::ios::binary);
    WriteAt(file, 0, head + junk);
    WriteAt(file, data_offset, data);
    // Nothing but zeros after the format chunk: the search stops at the first zero id.
    std::fstream empty(zeros, std::ios::in | std::ios::out | std::ios::binary);
    WriteAt(empty, 0, head);
    WriteAt(empty, data_offset, data);
    ASSERT_TRUE(file.good() && empty.good());
  }
  EXPECT_EQ(5.668f, DurationProbe(Utf8ToUtf16(far_data)));
  EXPECT_EQ(-1.0f, DurationProbe(Utf8ToUtf16(zeros)));
}

}  // namespace
