#include "probe/decoder_mirror/ogg_header_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/crafted_files.h"

// Rows for the shapes real encoder files take (a comment or setup cut short, other serial
// numbers, flags the decoder ignores, codebooks it never searches...) are in the
// ogg_header_shapes case and the fuzz replay of the same shapes; these reach what those cannot:
// verdicts the output does not tell apart, and the caps at and past their limits.

namespace {

using V = OggHeaderVerdict;

// The three header packets, then `audio` packets; the defaults make a small valid stereo
// stream with one codebook, floor, residue, mapping and mode.
struct Headers {
  // Channels at 11, rate at 12, block size exponents at 28 (long * 16 + short), framing bit.
  std::string id = IdentificationPacket(2, 44100, 8, 13);
  // Vendor length at 7, comment count at 17, the comment's length at 21, the framing bit last.
  std::string comment = CommentPacket("tester", {"TITLE=x"});
  SetupShape setup;
  std::size_t setup_size = std::string::npos;  // setup bytes kept
  std::vector<std::size_t> page_ends = {0, 2};  // after the packets of these indexes
  std::vector<std::string> audio;
};

// The stream of the default headers after `change`.
template <typename Change>
std::string Make(Change change) {
  Headers h;
  change(h);
  const std::string setup = SetupPacket(h.setup, h.id[11]).substr(0, h.setup_size);
  h.audio.insert(h.audio.begin(), {h.id, h.comment, setup});
  return JoinPages(LacePackets(h.audio, h.page_ends));
}

std::string Books(const std::vector<CodebookShape>& books) {
  return Make([&](auto& h) { h.setup.books = books; });
}

// Where page `page` of `stream` starts.
std::size_t PageStart(const std::string& stream, std::size_t page) {
  const std::vector<CraftedPage> pages = ParsePages(stream);
  std::size_t start = 0;
  for (std::size_t i = 0; i < page; ++i) start += pages[i].size();
  return start;
}

// `stream` with page `page`'s flags (at 5) or another header byte set to `value`.
std::string WithPageByte(std::string stream, std::size_t page, std::size_t at, char value) {
  stream[PageStart(stream, page) + at] = value;
  return stream;
}

// Each row a stream the check must pass, or refuse for its own reason.
void ExpectVerdicts(const std::vector<std::tuple<const char*, std::string, V>>& rows) {
  for (const auto& [name, bytes, verdict] : rows) {
    MemoryByteSource source(bytes.data(), bytes.size());
    std::uint64_t area = 0;
    EXPECT_EQ(static_cast<int>(verdict), static_cast<int>(CheckOggVorbisHeaders(source, &area)))
        << name;
  }
}

TEST(OggHeaderCheckTest, ReadsPagesAsTheDecoderDoes) {
  // Pages: 0 identification, 1 and 2 the comment (fields first, then zeros), setup after it.
  const auto pages = [](std::vector<std::string> audio) {
    return Make([&](auto& h) { h.comment.resize(70000), h.audio = audio; });
  };
  const std::string good = pages({});
  const std::size_t second = PageStart(good, 1), third = PageStart(good, 2);
  // The last comment spread over pages 1 and 2, page 2 not marked as continuing it: the
  // decoder reads one end of packet (-1) inside the comment, then goes on in page 2, reading
  // its framing bit from the comment's last byte, here even.
  const std::string long_comment = WithPageByte(Make([](auto& h) {
    h.comment = CommentPacket("tester", {"T=" + std::string(70000, 'x')});
  }), 2, 5, 0);
  // A type bit of 0 marks an audio packet; the decoder reads every page up to the end of the
  // first one byte by byte. Packets of 70000 bytes span two pages (3 and 4).
  const std::string audio(100, '\0'), other(5 << 20, '\x01'), large(70000, '\x01');
  std::string split = pages({large, audio});
  split.insert(PageStart(split, 4), "x");
  const std::string own_page = Make([](auto& h) { h.page_ends = {0, 1, 2}; });
  ExpectVerdicts({
      {"capture pattern", std::string(good).replace(3, 1, "T"), V::kBadPage},
      {"version 1", WithPageByte(good, 0, 4, 1), V::kBadPage},
      {"first page not first", WithPageByte(good, 0, 5, 0), V::kBadPage},
      {"unflagged continuation read on, even byte", long_comment, V::kBadCommentHeader},
      // After the framing bit the decoder stops at the false end: the setup starts in page 2.
      {"unflagged continuation after the fields", WithPageByte(good, 2, 5, 0), V::kBadSetup},
      {"setup page claims to continue", WithPageByte(own_page, 2, 5, 1), V::kBadPage},
      // The decoder cannot read an empty segment table (a read of no bytes fails): where the
      // comment starts, it refuses the page; where the comment goes on, the page ends it and
      // the setup is looked for after it.
      {"no segments where the comment starts",
       std::string(good).insert(second, good.substr(second, 26) + '\0'), V::kBadPage},
      {"no segments where the comment goes on",
       std::string(good).insert(third, good.substr(third, 26) + '\0'), V::kBadPage},
      {"the file ending where the comment goes on", good.substr(0, third + 10), V::kBadPage},
      {"an audio packet, then more", pages({audio, other}), V::kSafe},
      {"5 MiB before the first audio packet", pages({other, audio}), V::kHeadersTooLarge},
      // Inside a packet it skips, the decoder looks for the next page once more a byte on.
      {"a byte before a page inside a skipped packet", split, V::kSafe},
      {"skipped packet going on unflagged", WithPageByte(pages({large, audio}), 4, 5, 0), V::kSafe},
      {"the first audio packet going on unflagged",
       WithPageByte(pages({std::string(70000, '\0')}), 4, 5, 0), V::kUndefinedInDecoder},
  });
}

TEST(OggHeaderCheckTest, ReadsTheCommentHeaderAsTheDecoderDoes) {
  const auto comment = [](std::string text) { return Make([&](auto& h) { h.comment = text; }); };
  const std::string plain = CommentPacket("tester", {"TITLE=x"});
  const auto with = [&](std::size_t at, std::uint32_t value) {
    return comment(std::string(plain).replace(at, 4, Le(value, 4)));
  };
  ExpectVerdicts({
      // The bytes past the end are -1 (0xFF), the framing byte among them.
      {"last comment past the end, within the area", with(21, kMaxDecoderAreaBytes - 1), V::kSafe},
      {"last comment beyond the area", with(21, kMaxDecoderAreaBytes), V::kCommentsTooLarge},
      {"negative comment length", with(21, 0x80000000), V::kUndefinedInDecoder},
      {"no framing bit", comment(plain.substr(0, plain.size() - 1) + '\2'), V::kBadCommentHeader},
      {"65 536 comments", comment(CommentPacket("", std::vector<std::string>(65536))), V::kSafe},
      {"65 537 comments", comment(CommentPacket("", std::vector<std::string>(65537))),
       V::kCommentsTooLarge},
      {"headers too large",
       comment(CommentPacket(std::string(kMaxVorbisHeaderBytes - 16, 'x'), {})),
       V::kHeadersTooLarge},
  });
}

// Code lengths are also written entry by entry, and in sparse codebooks, where only the entries
// marked present have a length. Codebook 0 classifies the residue, so decoding searches it.
TEST(OggHeaderCheckTest, ReadsTheOtherHeadersAsTheDecoderDoes) {
  const auto book = [](std::vector<std::uint8_t> lengths, bool sparse) {
    return Books({{1, std::uint32_t(lengths.size()), 0, 0, 0, lengths, sparse}});
  };
  ExpectVerdicts({
      {"every field at its edge", Make([](auto& h) {
         h.id[11] = 16, h.id[28] = '\xD6', h.setup.submaps = 15, h.setup.floor_x = {1, 15};
         // Four 2-bit codes; 3^8 entries as libvorbis writes for type 1; for type 2, 2^16
         // entries with the values the total leaves.
         h.setup.books = {{1, 4, 2}, {8, 6561, 16, 1, 3}, {15, 65536, 16, 2, 15 << 16}};
       }), V::kSafe},
      {"no channels", Make([](auto& h) { h.id[11] = 0; }), V::kBadIdentification},
      {"17 channels", Make([](auto& h) { h.id[11] = 17; }), V::kBadIdentification},
      {"rate 0", Make([](auto& h) { h.id[12] = h.id[13] = 0; }), V::kBadIdentification},
      {"short block 32", Make([](auto& h) { h.id[28] = '\xB5'; }), V::kBadIdentification},
      {"long block 16384", Make([](auto& h) { h.id[28] = '\xE8'; }), V::kBadIdentification},
      {"short above long", Make([](auto& h) { h.id[28] = '\x8B'; }), V::kBadIdentification},
      {"identification framing", Make([](auto& h) { h.id[29] = 0; }), V::kBadIdentification},
      {"setup cut short", Make([](auto& h) { h.setup_size = 12; }), V::kBadSetup},
      {"five 2-bit codes: no Huffman code", Books({{1, 5, 2}}), V::kBadSetup},
      {"floor points at one x", Make([](auto& h) { h.setup.floor_x = {3, 3}; }), V::kBadSetup},
      {"floor type 0", Make([](auto& h) { h.setup.floor_type = 0; }), V::kBadSetup},
      {"16 submaps", Make([](auto& h) { h.setup.submaps = 16; }), V::kUndefinedInDecoder},
      {"31-bit codes in 2 entries, searched", Books({{1, 2, 31}}), V::kUndefinedInDecoder},
      {"31-bit codes in 9 entries, searched", Books({{1, 9, 31}}), V::kSafe},
      // The decoder converts 2^31 from a float to an int, and the build here then refuses it.
      {"lookup type 1 of 31 dimensions", Books({{31, 2, 16, 1, 1}}), V::kUndefinedInDecoder},
      {"lengths entry by entry", book({2, 1, 3, 3}, false), V::kSafe},
      {"three 1-bit codes", book({1, 1, 1}, false), V::kBadSetup},
      {"a 32-bit code", book({1, 32}, false), V::kBadSetup},
      {"sparse, 8 absent entries first", book({0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 2}, true), V::kSafe},
      {"sparse, three 1-bit codes among absent entries",
       book({0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1}, true), V::kBadSetup},
      // Two of eight present: the decoder keeps the codebook whole and searches it entry by
      // entry, which a 31-bit code overflows; one of eight stays sparse, searched otherwise.
      {"sparse, 31-bit codes in 2 of 8 entries", book({31, 31, 0, 0, 0, 0, 0, 0}, true),
       V::kUndefinedInDecoder},
      {"sparse, a 31-bit code in 1 of 8 entries", book({31, 0, 0, 0, 0, 0, 0, 0}, true), V::kSafe},
  });
}

TEST(OggHeaderCheckTest, CapsOnlyTotalsTheDecoderWorksThrough) {
  const auto classified = [](CodebookShape book, std::uint32_t residues) {
    return Make([&](auto& h) { h.setup.books = {book}, h.setup.residues = residues; });
  };
  const auto channels = [](char count) {
    return Make([&](auto& h) { h.id[11] = count, h.setup.partition_size = 1; });
  };
  ExpectVerdicts({
      // Codebook 0, small, classifies the residue.
      {"2^18 entries in all", Books({{1, 1}, {1, 65536}, {1, 65536}, {1, 65536}, {1, 65535}}),
       V::kSafe},
      {"more entries in all", Books({{1, 1}, {1, 65536}, {1, 65536}, {1, 65536}, {1, 65536}}),
       V::kSetupTooLarge},
      {"2^20 entry dimensions in all", Books({{1, 1}, {16, 65535}, {15, 1}}), V::kSafe},
      {"more entry dimensions in all", Books({{1, 1}, {16, 65536}}), V::kSetupTooLarge},
      {"2^14 classification entries", classified({1, 4096}, 4), V::kSafe},
      {"more classification entries", classified({1, 4096}, 5), V::kSetupTooLarge},
      {"2^20 classification entry dimensions", classified({4096, 256, 8}, 1), V::kSafe},
      {"more classification entry dimensions", classified({4096, 256, 8}, 2), V::kSetupTooLarge},
      // One-sample partitions over half a long block of 8192: 4096 per channel.
      {"2^14 partitions", channels(4), V::kSafe},
      {"more partitions", channels(5), V::kSetupTooLarge},
  });
}

}  // namespace
