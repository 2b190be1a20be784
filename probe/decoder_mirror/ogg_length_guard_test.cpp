#include "probe/decoder_mirror/ogg_length_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "tests/support/crafted_files.h"

namespace {

// The last-page search reads the last 64 KiB once, and after each "OggS" there the page its
// header announces, cut short by the end of the file: only its header for another version. It
// then moves on by one byte, so a capture pattern inside a page is one more candidate.
TEST(OggLengthGuardTest, CountsWhatTheLastPageSearchMayRead) {
  // 27 header bytes, 4 lacing values, 1000 body bytes.
  const std::string page = JoinPages(LacePackets({std::string(1000, 'a')}, {}));
  const std::string inner = JoinPages(LacePackets({"OggS" + std::string(996, 'a')}, {}));
  const struct { const char* name; std::string file; std::uint64_t cost; } rows[] = {
      {"nothing", "", 0},
      {"no capture pattern", std::string(3000, 'O'), 3000},
      {"a whole page", "abc" + page + "xyz", 1037 + 1031},
      {"two pages", page + page, 2062 + 2 * 1031},
      {"a capture pattern inside a page", inner, 1031 + 1031 + 27},
      {"a page cut by the end", page.substr(0, 500), 500 + 500},
      {"another version", std::string(page).replace(4, 1, "\1"), 1031 + 27},
      {"a capture pattern in the last four bytes", std::string(100, 'x') + "OggS", 104 + 4},
      {"three bytes of one at the end", std::string(100, 'x') + "Ogg", 103},
      {"a page before the last 64 KiB", page + std::string(65536, 'x'), 65536},
  };
  for (const auto& row : rows) {
    MemoryByteSource source(row.file.data(), row.file.size());
    std::uint64_t cost = 0;
    EXPECT_TRUE(CountLastPageSearch(source, row.file.size(), &cost)) << row.name;
    EXPECT_EQ(row.cost, cost) << row.name;
    EXPECT_TRUE(CanFindOggLength(source, row.file.size())) << row.name;
  }
}

// Zeros at every offset: a file of any size, without the memory.
struct ZeroSource : ByteSource {
  std::size_t Read(void* buffer, std::size_t size) override {
    std::memset(buffer, 0, size);
    return size;
  }
  bool Seek(std::uint64_t offset) override { return position = offset, true; }
  std::uint64_t Tell() const override { return position; }
  std::uint64_t position = 0;
};

TEST(OggLengthGuardTest, RefusesFilesTooLargeOrTooSlowToSearch) {
  ZeroSource zeros;
  EXPECT_TRUE(CanFindOggLength(zeros, kMaxOggFileSize));
  EXPECT_FALSE(CanFindOggLength(zeros, kMaxOggFileSize + 1));
  // False page starts of the greatest size the segment count allows, a few bytes apart.
  std::string starts;
  while (starts.size() < 65536) starts += "OggS" + std::string(22, '\0') + '\xff';
  std::string fewer = std::string(65536 - 3000, 'x') + starts.substr(0, 3000);
  for (const std::string& file : {starts, fewer}) {
    MemoryByteSource source(file.data(), file.size());
    EXPECT_EQ(file == fewer, CanFindOggLength(source, file.size()));
  }
  MemoryByteSource short_read(starts.data(), 100);
  EXPECT_FALSE(CanFindOggLength(short_read, starts.size()));  // the tail cannot be read
}

// A false page start: the 282-byte header of a page of `size` bytes (282 to 65307), no body.
std::string FalsePageStart(std::size_t size) {
  CraftedPage page;
  page.lacing.assign(255, '\0');
  for (std::size_t left = size - 282, at = 0; left > 0; ++at) {
    page.lacing[at] = static_cast<char>(std::min<std::size_t>(left, 255));
    left -= static_cast<unsigned char>(page.lacing[at]);
  }
  return page.Bytes();
}

// A search that reaches the cap exactly may still be asked for; one more candidate is too many.
TEST(OggLengthGuardTest, RefusesOnlyPastTheCap) {
  std::string tail(65536, 'x');
  std::uint64_t cost = 0;
  std::size_t at = 282;  // the first 282 bytes are kept for the page that tops the cost up
  for (;; at += 282) {
    std::string more = tail;
    more.replace(at, 282, FalsePageStart(65307));
    MemoryByteSource source(more.data(), more.size());
    std::uint64_t more_cost = 0;
    ASSERT_TRUE(CountLastPageSearch(source, more.size(), &more_cost));
    if (more_cost + 282 > kMaxLastPageSearchBytes) break;
    tail = more;
    cost = more_cost;
  }
  tail.replace(0, 282, FalsePageStart(kMaxLastPageSearchBytes - cost));
  MemoryByteSource at_cap(tail.data(), tail.size());
  ASSERT_TRUE(CountLastPageSearch(at_cap, tail.size(), &cost));
  ASSERT_EQ(kMaxLastPageSearchBytes, cost);
  EXPECT_TRUE(CanFindOggLength(at_cap, tail.size()));

  tail.replace(at, 27, CraftedPage{}.Bytes());  // a 27-byte page further on
  MemoryByteSource past_cap(tail.data(), tail.size());
  EXPECT_FALSE(CanFindOggLength(past_cap, tail.size()));
}

}  // namespace
