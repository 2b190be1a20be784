#include "probe/decoder_mirror/vorbis_setup_memo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/crafted_files.h"
#include "tests/support/test_support.h"

namespace {

// Files checked one after another with one memo: each must get the verdict, the area and the
// reader's place after the setup of the check without memo, whether the memo recalls it or
// must not (other block sizes, a setup that a page not marked as going on cuts where the walk
// still reads; the fuzz replays hold more: other channel counts, setups that differ in a
// byte).
TEST(VorbisSetupMemoTest, SameAnswersAsTheWalk) {
  const OggParts ogg(ReadBytes(std::string(PROBE_TEST_FILES) + "/data/vorbis_6ch_48k.ogg"));
  ASSERT_EQ(3u, ogg.headers.size());
  const std::string &id = ogg.headers[0], &setup = ogg.headers[2];
  // The file with other identification and setup packets, the setup on a page of its own.
  const auto make = [&](const std::string& id_packet, const std::string& setup_packet) {
    return JoinPages(ogg.With({id_packet, ogg.headers[1], setup_packet}, {0, 1}));
  };
  // A setup filled up to whole segments (the walk leaves what follows the modes unread); then
  // the same bytes going on in pages not marked so: the decoder reads on after the false end,
  // and its first audio packet comes after the segment those pages add to the setup.
  const std::string filled = setup + std::string(255 - setup.size() % 255, '\0');
  std::vector<CraftedPage> going_on = LacePackets({id, ogg.headers[1], filled}, {0, 1});
  going_on.back().lacing.pop_back();  // the 0 that ends the packet
  going_on.push_back({0, 0, 7, 3, std::string(1, '\xff'), std::string(255, '\0')});
  going_on.push_back({0, 0, 7, 4, std::string(1, '\1'), std::string(1, '\0')});
  const std::string cut =
      JoinPages(SetupCutUnflagged(IdentificationPacket(1, 8000, 8, 11), CommentPacket("x", {})));
  const std::vector<std::pair<const char*, std::string>> rows = {
      {"the file", make(id, setup)},
      {"the file again", make(id, setup)},
      {"long blocks twice as long",
       make(std::string(id).replace(28, 1, 1, char(id[28] + 16)), setup)},
      {"its setup filled up to whole segments", make(id, filled)},
      {"the same going on unflagged", JoinPages(going_on)},
      {"a setup cut where the walk reads", cut},
      {"the same again", cut},
  };
  VorbisSetupMemo memo;
  for (const auto& [name, bytes] : rows) {
    std::uint64_t walked = 0, recalled = 0;
    OggPacketReader::Place walked_place{}, recalled_place{};
    MemoryByteSource plain(bytes.data(), bytes.size()), remembered(bytes.data(), bytes.size());
    const OggHeaderVerdict expected = CheckOggVorbisHeaders(plain, &walked, nullptr, &walked_place);
    EXPECT_EQ(expected, CheckOggVorbisHeaders(remembered, &recalled, &memo, &recalled_place))
        << name;
    EXPECT_TRUE(walked_place == recalled_place) << name;
    if (expected == OggHeaderVerdict::kSafe) {
      EXPECT_EQ(walked, recalled) << name;
    }
  }
  EXPECT_EQ(1u, memo.recalled());  // the file again
}

}  // namespace
