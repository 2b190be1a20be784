#include "probe/recording_byte_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

// `size` bytes of `source` from `offset`, as text.
std::string ReadAt(ByteSource& source, std::uint64_t offset, std::size_t size) {
  std::string out(size, '\0');
  if (!source.Seek(offset)) return "(no seek)";
  out.resize(source.Read(out.data(), size));
  return out;
}

std::string Kept(const RecordingByteSource& source, std::uint64_t offset, std::size_t size) {
  std::string out(size, '\0');
  out.resize(source.ReadKept(offset, out.data(), size));
  return out;
}

// A file that another program rewrites between reads: what was read once is read again the
// same, from memory; what was never read comes from the file as it is now.
TEST(RecordingByteSourceTest, BytesReadOnceStayAsTheyWere) {
  std::string file = "0123456789abcdefghij";
  MemoryByteSource inner(file.data(), file.size());
  RecordingByteSource source(inner, file.size());
  EXPECT_EQ("2345", ReadAt(source, 2, 4));
  EXPECT_EQ("fghij", ReadAt(source, 15, 10));
  file.replace(0, file.size(), "ABCDEFGHIJKLMNOPQRST");
  // Read around and between the two runs kept: only the gaps come from the changed file.
  EXPECT_EQ("AB2345GHIJKLMNOfghij", ReadAt(source, 0, 30));
  file.replace(0, file.size(), "....................");
  EXPECT_EQ("AB2345GHIJKLMNOfghij", ReadAt(source, 0, 20));
  EXPECT_EQ("AB2345GHIJKLMNOfghij", Kept(source, 0, 100));
  EXPECT_TRUE(source.complete());
}

// The size given is the file's: bytes beyond it are never read, a file that turns out shorter
// ends early, and only what was read is kept, so a reader of the kept bytes finds the same ends.
TEST(RecordingByteSourceTest, ReadsEndAtTheGivenSizeOrTheFileEnd) {
  const std::string file = "0123456789abcdefghij";
  const struct { std::uint64_t size, offset, asked; const char* read; } rows[] = {
      // Size 12: the file has grown since its size was taken. Size 30: it has shrunk.
      {12, 8, 10, "89ab"}, {12, 12, 5, ""}, {12, 40, 5, ""},
      {30, 16, 10, "ghij"}, {30, 25, 3, ""},
  };
  for (const auto& row : rows) {
    MemoryByteSource inner(file.data(), file.size());
    RecordingByteSource source(inner, row.size);
    EXPECT_EQ(row.read, ReadAt(source, row.offset, row.asked)) << row.size << " " << row.offset;
    EXPECT_EQ(row.read, Kept(source, row.offset, row.asked)) << row.size << " " << row.offset;
    EXPECT_EQ("", Kept(source, row.offset + std::string(row.read).size(), 1));
  }
}

// Header pages of many MiB are kept in blocks: reads in small steps and across block borders
// give back the same bytes, and the memory held stays close to the bytes kept.
TEST(RecordingByteSourceTest, LongRunsKeptAcrossBlocks) {
  std::string file(300000, '\0');
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 7 + i / 251);
  const std::string original = file;
  MemoryByteSource inner(file.data(), file.size());
  RecordingByteSource source(inner, file.size());
  ASSERT_TRUE(source.Seek(0));
  for (std::size_t at = 0; at < 200000; at += 999) {
    std::string step(999, '\0');
    ASSERT_EQ(999u, source.Read(step.data(), step.size()));
    ASSERT_EQ(original.substr(at, 999), step) << at;
  }
  const std::size_t kept = 200 * 999 + 999;
  file.assign(file.size(), 'x');
  EXPECT_EQ(original.substr(0, kept), Kept(source, 0, 400000));
  EXPECT_EQ(original.substr(65000, 70000), ReadAt(source, 65000, 70000));
  EXPECT_GE(source.kept_bytes(), kept);
  EXPECT_LE(source.kept_bytes(), kept + 65536);

  // Memory refused beyond two blocks: the read stops where the blocks end, and says why.
  std::uint64_t most_asked = 0;
  RecordingByteSource bounded(inner, file.size(), [&](std::uint64_t bytes) {
    most_asked = std::max(most_asked, bytes);
    return bytes <= 2 * 65536;
  });
  std::string out(file.size(), '\0');
  EXPECT_EQ(2 * 65536u, bounded.Read(out.data(), out.size()));
  EXPECT_EQ(2 * 65536u, bounded.kept_bytes());
  EXPECT_EQ(3 * 65536u, most_asked);
  EXPECT_FALSE(bounded.complete());
  EXPECT_TRUE(bounded.refused());

  // Past 4 MiB, a run takes blocks of 4 MiB.
  std::string big(9u << 20, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 65521);
  const std::string big_original = big;
  MemoryByteSource big_inner(big.data(), big.size());
  RecordingByteSource large(big_inner, big.size());
  const std::size_t span = (8u << 20) + 1;
  EXPECT_EQ(big_original.substr(1000, span), ReadAt(large, 1000, span));
  big.assign(big.size(), 'x');
  EXPECT_EQ(big_original.substr(1000, span), Kept(large, 1000, big.size()));
  EXPECT_EQ(12u << 20, large.kept_bytes());
}

}  // namespace
