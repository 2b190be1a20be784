#include "probe/byte_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/utf.h"
#include "tests/support/test_support.h"

namespace {

// The memory source runs under every WaveReader test; the file source keeps its own position,
// which must follow reads and seeks, beyond the end and past 4 GiB too.
TEST(ByteSourceTest, FileSourceTracksItsPosition) {
  ScopedTempDir dir;
  WriteBytes(dir.File("ten.bin"), "0123456789");
  std::unique_ptr<FileByteSource> file = FileByteSource::Open(Utf8ToUtf16(dir.File("ten.bin")));
  ASSERT_NE(nullptr, file);
  char buffer[16] = {};
  EXPECT_EQ(4u, file->Read(buffer, 4));
  EXPECT_EQ(4u, file->Tell());
  EXPECT_EQ(6u, file->Read(buffer, sizeof buffer));
  EXPECT_EQ("456789", std::string(buffer, 6));
  EXPECT_EQ(10u, file->Tell());
  const std::uint64_t beyond_4gib = (std::uint64_t{1} << 32) + 6;
  ASSERT_TRUE(file->Seek(beyond_4gib));
  EXPECT_EQ(beyond_4gib, file->Tell());
  EXPECT_EQ(0u, file->Read(buffer, sizeof buffer));
  ASSERT_TRUE(file->Seek(7));
  EXPECT_EQ(3u, file->Read(buffer, sizeof buffer));
  EXPECT_EQ("789", std::string(buffer, 3));
}

}  // namespace
