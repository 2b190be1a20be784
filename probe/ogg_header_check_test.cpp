#include "probe/ogg_header_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using V = OggHeaderVerdict;

// Bits packed least significant first, as Vorbis packs them; calls chain: put(a, 8)(b, 16).
struct BitWriter {
  std::string bytes;
  int used = 0;
  BitWriter& operator()(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i, ++used) {
      if (used % 8 == 0) bytes += '\0';
      if (i < 32 && ((value >> i) & 1) != 0) bytes.back() |= static_cast<char>(1 << (used % 8));
    }
    return *this;
  }
};

// Every entry has a code of `code_length` bits; a lookup table holds `lookup_values` 1-bit values.
struct Book {
  std::uint32_t dimensions = 1, entries = 2, code_length = 16, lookup_type = 0, lookup_values = 0;
};

// The three header packets field by field, then `audio` packets; the defaults make a small
// valid stereo stream with one codebook, floor, residue, mapping and mode.
struct Headers {
  // Channels at 11, rate at 12, block size exponents at 28 (long * 16 + short), framing bit.
  std::string id =
      std::string("\x01vorbis\0\0\0\0\2\x44\xAC", 14) + std::string(14, '\0') + "\xD8\x01";
  // Vendor length at 7, comment count at 17, the comment's length at 21, the framing bit last.
  std::string comment = std::string("\x03vorbis\6\0\0\0tester\1\0\0\0\7\0\0\0TITLE=x\1", 33);
  std::vector<Book> books = {Book{}};
  std::uint32_t residues = 1, submaps = 1, floor_type = 1, partition_size = 32;
  std::size_t setup_size = std::string::npos;  // setup bytes kept
  std::vector<std::string> audio;
};

std::string SetupPacket(const Headers& h) {
  BitWriter put;
  put(static_cast<std::uint32_t>(h.books.size() - 1), 8);
  for (const Book& b : h.books) {
    int width = 0;
    for (std::uint32_t left = b.entries; left != 0; left >>= 1) ++width;
    // Ordered lengths: one run covers every entry.
    put(0x564342, 24)(b.dimensions, 16)(b.entries, 24)(1, 1)(b.code_length - 1, 5);
    put(b.entries, width)(b.lookup_type, 4);
    if (b.lookup_type != 0) put(0, 32)(0, 32)(0, 4)(0, 1)(0, static_cast<int>(b.lookup_values));
  }
  put(0, 6)(0, 16);                               // one time-domain placeholder
  put(0, 6)(h.floor_type, 16)(0, 5)(0, 2)(4, 4);  // one floor with no partitions
  put(h.residues - 1, 6);  // each classified by codebook 0; then one mapping
  for (std::uint32_t i = 0; i < h.residues; ++i)
    put(0, 16)(0, 24)(4096, 24)(h.partition_size - 1, 24)(0, 18);
  const int many = h.submaps > 1;  // a submap per channel
  put(0, 6)(0, 16)(many, 1)(h.submaps - 1, 4 * many)(0, 3)(0, many * 4 * h.id[11]);
  for (std::uint32_t i = 0; i < h.submaps; ++i) put(0, 24);
  put(0, 6)(0, 1)(0, 16)(0, 16)(0, 8)(1, 1);  // one mode, framing bit
  return "\x05vorbis" + put.bytes;
}

// The stream of the default headers after `change`: laced into pages of at most 255
// segments, the first packet alone on the first page, the last header packet ending a page.
// No checksums: neither the check nor the decoder reads them.
template <typename Change>
std::string Make(Change change) {
  Headers h;
  change(h);
  std::vector<std::string> packets = {h.id, h.comment, SetupPacket(h).substr(0, h.setup_size)};
  packets.insert(packets.end(), h.audio.begin(), h.audio.end());
  std::string out, lacing, body;
  char flags = 2;
  const auto flush = [&]() {  // granule position 0, serial number 7, sequence number 0
    out += std::string("OggS\0", 5) + flags + std::string(8, '\0') + '\x07' +
           std::string(11, '\0') + static_cast<char>(lacing.size()) + lacing + body;
    flags = lacing.back() == '\xFF' ? 1 : 0;
    lacing.clear(), body.clear();
  };
  for (std::size_t p = 0; p < packets.size(); ++p) {
    for (std::size_t offset = 0, size = 255; size == 255; offset += size) {
      if (lacing.size() == 255) flush();
      size = std::min<std::size_t>(255, packets[p].size() - offset);
      lacing += static_cast<char>(size);
      body += packets[p].substr(offset, size);
    }
    if (p == 0 || p == 2 || p + 1 == packets.size()) flush();
  }
  return out;
}

// Each row a stream the check must pass, or refuse for its own reason.
void ExpectVerdicts(const std::vector<std::tuple<const char*, std::string, V>>& rows) {
  for (const auto& [name, bytes, verdict] : rows) {
    MemoryByteSource source(bytes.data(), bytes.size());
    EXPECT_EQ(static_cast<int>(verdict), static_cast<int>(CheckOggVorbisHeaders(source))) << name;
  }
}

TEST(OggHeaderCheckTest, ChecksPageStructure) {
  // The comment packet spread over pages 1 and 2, the setup packet after it in page 2.
  const auto pages = [](std::vector<std::string> audio) {
    return Make([&](Headers& h) { h.comment.resize(70000), h.audio = audio; });
  };
  const std::string good = pages({});
  const std::size_t third = good.find("OggS", good.find("OggS", 1) + 1);  // the third page
  const auto edit = [&](std::size_t at, char c) { return std::string(good).replace(at, 1, 1, c); };
  // A type bit of 0 marks an audio packet; the decoder reads every page up to the end of the
  // first one byte by byte.
  const std::string audio(100, '\0'), other(5 << 20, '\x01');
  std::string split = pages({std::string(70000, '\x01'), audio});  // over two pages
  split.insert(split.find("OggS", good.size() + 1), "x");
  ExpectVerdicts({
      {"a packet over two pages", good, V::kSafe},
      {"capture pattern", edit(3, 'T'), V::kBadPage},
      {"version 1", edit(4, 1), V::kBadPage},
      {"first page not first", edit(5, 0), V::kBadPage},
      {"continuation unmarked", edit(third + 5, 0), V::kBadPage},
      {"other serial", edit(third + 14, 8), V::kBadPage},
      // The decoder would reuse the previous page's lacing values.
      {"no segments", std::string(good).insert(third, good.substr(third, 26) + '\0'),
       V::kBadPage},
      {"body cut short", good.substr(0, good.size() - 1), V::kBadPage},
      {"no segments after the headers", good + good.substr(0, 26) + '\0', V::kBadPage},
      {"an audio packet, then more", pages({audio, other}), V::kSafe},
      {"5 MiB before the first audio packet", pages({other, audio}), V::kHeadersTooLarge},
      {"a byte inside a packet before the first audio packet", split, V::kBadPage},
  });
}

TEST(OggHeaderCheckTest, ChecksEachHeaderField) {
  const auto books = [](std::vector<Book> b) { return Make([&](Headers& h) { h.books = b; }); };
  ExpectVerdicts({
      {"every field at its edge", Make([](Headers& h) {
         h.id[11] = 16, h.id[28] = '\xD6', h.submaps = 15, h.comment += "pad";
         // Four 2-bit codes; 3^8 entries as libvorbis writes for type 1; for type 2, 2^16
         // entries with the values the total leaves.
         h.books = {{1, 4, 2}, {8, 6561, 16, 1, 3}, {15, 65536, 16, 2, 15 << 16}};
       }), V::kSafe},
      {"no channels", Make([](Headers& h) { h.id[11] = 0; }), V::kBadIdentification},
      {"17 channels", Make([](Headers& h) { h.id[11] = 17; }), V::kBadIdentification},
      {"rate 0", Make([](Headers& h) { h.id[12] = h.id[13] = 0; }), V::kBadIdentification},
      {"short block 32", Make([](Headers& h) { h.id[28] = '\xB5'; }), V::kBadIdentification},
      {"long block 16384", Make([](Headers& h) { h.id[28] = '\xE8'; }), V::kBadIdentification},
      {"short above long", Make([](Headers& h) { h.id[28] = '\x8B'; }), V::kBadIdentification},
      {"identification framing", Make([](Headers& h) { h.id[29] = 0; }), V::kBadIdentification},
      {"vendor one past the end", Make([](Headers& h) { h.comment[7] = 23; }), V::kBadVendorLength},
      {"count one past", Make([](Headers& h) { h.comment[17] = 2; }), V::kBadCommentCount},
      {"comment past the end", Make([](Headers& h) { h.comment[21] = 9; }), V::kBadCommentLength},
      {"comment framing", Make([](Headers& h) { h.comment.back() = 2; }), V::kBadCommentHeader},
      {"headers too large", Make([](Headers& h) { h.comment.resize(kMaxVorbisHeaderBytes); }),
       V::kHeadersTooLarge},
      {"129 codebooks", books(std::vector<Book>(129)), V::kSetupTooLarge},
      {"too many entries", books({{1, kMaxCodebookEntries + 1}}), V::kCodebookTooLarge},
      {"too many dimensions", books({{kMaxCodebookDimensions + 1, 2}}), V::kCodebookTooLarge},
      {"product too large", books({{17, 65536}}), V::kCodebookTooLarge},
      {"total values too large", books(std::vector<Book>(5, {16, 65536})), V::kSetupTooLarge},
      {"total entries too large", books(std::vector<Book>(17, {1, 65536})), V::kSetupTooLarge},
      {"five 2-bit codes: no Huffman code", books({{1, 5, 2}}), V::kBadSetup},
      {"31-bit codes", books({{1, 2, kMaxCodewordLength + 1}}), V::kBadSetup},
      {"lookup type 1: (r + 2)^31 beyond int", books({{31, 2, 16, 1, 1}}), V::kCodebookTooLarge},
      {"16 submaps", Make([](Headers& h) { h.submaps = 16; }), V::kBadSetup},
      {"floor type 0", Make([](Headers& h) { h.floor_type = 0; }), V::kBadSetup},
      // One-sample partitions over half a long block of 8192: 16 x 4096.
      {"partitions", Make([](Headers& h) { h.id[11] = 16, h.partition_size = 1; }),
       V::kSetupTooLarge},
      {"residue classes", Make([](Headers& h) { h.books = {{1, 65536}}, h.residues = 5; }),
       V::kSetupTooLarge},
      {"setup cut short", Make([](Headers& h) { h.setup_size = 20; }), V::kBadSetup},
  });
}

}  // namespace
