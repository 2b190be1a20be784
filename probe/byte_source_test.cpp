#include "probe/byte_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/utf.h"
#include "tests/support/test_support.h"

namespace {

constexpr std::uint64_t kBeyond4GiB = (std::uint64_t{1} << 32) + 6;

// The same walk over either implementation: reads that stop at the end, seeks back and far
// beyond the end (past 4 GiB, where 32-bit offsets wrap).
void ExpectReadsLikeTenBytes(ByteSource& source) {
  char buffer[16] = {};
  EXPECT_EQ(0u, source.Tell());
  EXPECT_EQ(4u, source.Read(buffer, 4));
  EXPECT_EQ("0123", std::string(buffer, 4));
  EXPECT_EQ(4u, source.Tell());
  EXPECT_EQ(6u, source.Read(buffer, sizeof buffer));
  EXPECT_EQ("456789", std::string(buffer, 6));
  EXPECT_EQ(10u, source.Tell());
  EXPECT_EQ(0u, source.Read(buffer, sizeof buffer));

  ASSERT_TRUE(source.Seek(kBeyond4GiB));
  EXPECT_EQ(kBeyond4GiB, source.Tell());
  EXPECT_EQ(0u, source.Read(buffer, sizeof buffer));

  ASSERT_TRUE(source.Seek(7));
  EXPECT_EQ(3u, source.Read(buffer, sizeof buffer));
  EXPECT_EQ("789", std::string(buffer, 3));
  ASSERT_TRUE(source.Seek(12));
  EXPECT_EQ(0u, source.Read(buffer, 1));
  ASSERT_TRUE(source.Seek(0));
  EXPECT_EQ(1u, source.Read(buffer, 1));
  EXPECT_EQ('0', buffer[0]);
}

TEST(ByteSourceTest, MemoryAndFileReadAlike) {
  const std::string bytes = "0123456789";
  MemoryByteSource memory(bytes.data(), bytes.size());
  ExpectReadsLikeTenBytes(memory);

  ScopedTempDir dir;
  WriteBytes(dir.File("ten.bin"), bytes);
  std::unique_ptr<FileByteSource> file = FileByteSource::Open(Utf8ToUtf16(dir.File("ten.bin")));
  ASSERT_NE(nullptr, file);
  ExpectReadsLikeTenBytes(*file);
}

TEST(ByteSourceTest, FileOpensOnlyExistingRegularFiles) {
  ScopedTempDir dir;
  EXPECT_EQ(nullptr, FileByteSource::Open(Utf8ToUtf16(dir.File("missing.wav"))));
  EXPECT_EQ(nullptr, FileByteSource::Open(Utf8ToUtf16(dir.path())));
}

}  // namespace
