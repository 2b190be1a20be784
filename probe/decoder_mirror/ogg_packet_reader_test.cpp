#include "probe/decoder_mirror/ogg_packet_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/crafted_files.h"

namespace {

// One packet filling a file of `size` bytes up to its last byte (the longest that fits).
std::string FileOfOnePacket(std::size_t size, std::string* packet) {
  const auto file_of = [&](std::size_t length) {
    *packet = std::string(length, 'p');
    packet->back() = 'z';  // the last byte, not a 0 read past the end
    return JoinPages(LacePackets({*packet}, {}));
  };
  std::size_t fits = 1, too_long = size;
  while (too_long - fits > 1) {
    const std::size_t middle = (fits + too_long) / 2;
    (file_of(middle).size() <= size ? fits : too_long) = middle;
  }
  return file_of(fits);
}

// Files that end on either side of a buffer's end: the first read takes 16 KiB, every later
// one 64 KiB. The packet reads whole, its last byte too, without meeting the file's end; what
// follows is the end.
TEST(OggPacketReaderTest, ReadsEveryByteUpToTheFileEnd) {
  constexpr std::size_t kFirst = 16 << 10, kLater = 64 << 10;
  for (const std::size_t size : {kFirst - 1, kFirst, kFirst + 1, kFirst + 2, kFirst + kLater,
                                 kFirst + kLater + 1}) {
    std::string packet, read;
    const std::string file = FileOfOnePacket(size, &packet);
    ASSERT_EQ(size, file.size());
    MemoryByteSource source(file.data(), file.size());
    OggPacketReader reader(source);
    reader.CountPages(file.size());
    ASSERT_TRUE(reader.StartPacket()) << size;
    EXPECT_TRUE(reader.FlushPacket(&read)) << size;
    EXPECT_EQ(packet, read) << size;
    EXPECT_FALSE(reader.eof()) << size;
    EXPECT_EQ(OggPacketReader::kEndOfPacket, reader.Get8Packet()) << size;
    // Past the end every byte reads as 0, and the end is met.
    EXPECT_EQ(0, reader.Get8()) << size;
    EXPECT_TRUE(reader.eof()) << size;
  }
}

}  // namespace
