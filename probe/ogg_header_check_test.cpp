#include "probe/ogg_header_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using Verdict = OggHeaderVerdict;

// Bits packed least significant first, as Vorbis packs them; calls chain: put(a, 8)(b, 16).
struct BitWriter {
  std::string bytes;
  int used = 0;
  BitWriter& operator()(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i, ++used) {
      if (used % 8 == 0) bytes.push_back('\0');
      const std::uint32_t bit = i < 32 ? (value >> i) & 1 : 0;
      bytes.back() = static_cast<char>(bytes.back() | (bit << (used % 8)));
    }
    return *this;
  }
};

// Every entry has a code of `code_length` bits; a lookup table holds `lookup_values` 1-bit values.
struct Book {
  std::uint32_t dimensions = 1, entries = 2, code_length = 16, lookup_type = 0, lookup_values = 0;
};

// A comment header with the vendor length and comment count written as given.
std::string Comment(std::uint32_t vendor_length, std::uint32_t count,
                    const std::vector<std::string>& comments, const std::string& tail = "\x01") {
  std::string out = "\x03vorbis";
  AppendU32(out, vendor_length);
  out += "tester";
  AppendU32(out, count);
  for (const std::string& comment : comments) {
    AppendU32(out, static_cast<std::uint32_t>(comment.size()));
    out += comment;
  }
  return out + tail;
}

// The three header packets field by field; the defaults make a small valid stereo stream with
// one codebook, floor, residue, mapping and mode.
struct Headers {
  std::uint32_t channels = 2, rate = 44100;
  std::uint8_t blocks = 0xB8, framing = 1;  // block size exponents: long * 16 + short
  std::string comment = Comment(6, 1, {"TITLE=x"});
  std::vector<Book> books = {Book{}};
  std::uint32_t submaps = 1, floor_type = 1, residue_end = 4096, partition_size = 32;
  std::size_t setup_size = std::string::npos;  // setup bytes kept
  std::size_t max_segments = 255;              // per page
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
  // One residue, then one mapping.
  put(0, 6)(0, 16)(0, 24)(h.residue_end, 24)(h.partition_size - 1, 24)(0, 18);
  put(0, 6)(0, 16)(h.submaps > 1, 1);
  if (h.submaps > 1) put(h.submaps - 1, 4);
  put(0, 3);
  if (h.submaps > 1) put(0, static_cast<int>(4 * h.channels));
  for (std::uint32_t i = 0; i < h.submaps; ++i) put(0, 24);
  put(0, 6)(0, 1)(0, 16)(0, 16)(0, 8)(1, 1);  // one mode, framing bit
  return "\x05vorbis" + put.bytes;
}

// The stream of the default headers after `change`, then `audio` packets: laced into pages of
// at most `max_segments` segments, the first packet alone on the first page, the last header
// packet ending a page. No checksums: neither the check nor the decoder reads them.
template <typename Change>
std::string Make(Change change, const std::vector<std::string>& audio = {}) {
  Headers h;
  change(h);
  std::string identification = "\x01vorbis";
  AppendU32(identification, 0);  // version
  identification += static_cast<char>(h.channels);
  AppendU32(identification, h.rate);
  // After the three bit rates.
  identification += std::string(12, '\0') + static_cast<char>(h.blocks) + char(h.framing);
  std::vector<std::string> packets = {identification, h.comment,
                                      SetupPacket(h).substr(0, h.setup_size)};
  packets.insert(packets.end(), audio.begin(), audio.end());
  std::string out, lacing, body;
  std::uint32_t sequence = 0;
  char flags = 2;
  const auto flush = [&]() {
    out += std::string("OggS\0", 5) + flags + std::string(8, '\0');  // granule position 0
    AppendU32(out, 7);                                                 // serial number
    AppendU32(out, sequence++);
    AppendU32(out, 0);
    out += static_cast<char>(lacing.size()) + lacing + body;
    flags = lacing.back() == '\xFF' ? 1 : 0;
    lacing.clear(), body.clear();
  };
  for (std::size_t p = 0; p < packets.size(); ++p) {
    for (std::size_t offset = 0, size = 255; size == 255; offset += size) {
      if (lacing.size() == h.max_segments) flush();
      size = std::min<std::size_t>(255, packets[p].size() - offset);
      lacing += static_cast<char>(size);
      body += packets[p].substr(offset, size);
    }
    if (p == 0 || p == 2) flush();
  }
  if (!lacing.empty()) flush();
  return out;
}

// Each row a stream the check must pass, or refuse for its own reason.
void ExpectVerdicts(const std::vector<std::tuple<const char*, std::string, Verdict>>& rows) {
  for (const auto& [name, bytes, verdict] : rows) {
    MemoryByteSource source(bytes.data(), bytes.size());
    EXPECT_EQ(static_cast<int>(verdict), static_cast<int>(CheckOggVorbisHeaders(source))) << name;
  }
}

TEST(OggHeaderCheckTest, ChecksPageStructure) {
  // The comment packet spread over pages 1 and 2, the setup packet after it in page 2.
  const auto small_pages = [](Headers& h) {
    h.comment = Comment(6, 1, {std::string(700, 'c')}), h.max_segments = 2;
  };
  const std::string good = Make(small_pages);
  std::vector<std::size_t> at = {0};
  while (at.size() < 3) at.push_back(good.find("OggS", at.back() + 1));
  const auto edit = [&](std::size_t page, std::size_t offset, char value) {
    std::string copy = good;
    copy.at(at[page] + offset) = value;
    return copy;
  };
  // A type bit of 0 marks an audio packet; the decoder reads every page up to the end of the
  // first one byte by byte.
  const std::string audio(100, '\0'), other(5 << 20, '\x01');
  std::string split = Make(small_pages, {std::string(70000, '\x01'), audio});  // over two pages
  split.insert(split.find("OggS", good.size() + 1), "x");
  ExpectVerdicts({
      {"small pages", good, Verdict::kSafe},
      {"capture pattern", edit(0, 3, 'T'), Verdict::kBadPage},
      {"first page not first", edit(0, 5, 0), Verdict::kBadPage},
      {"continuation unmarked", edit(2, 5, 0), Verdict::kBadPage},
      {"new packet marked continued", edit(1, 5, 1), Verdict::kBadPage},
      {"other serial", edit(2, 14, 8), Verdict::kBadPage},
      // The decoder would reuse the previous page's lacing values.
      {"no segments", good.substr(0, at[2]) + good.substr(at[2], 26) + '\0' + good.substr(at[2]),
       Verdict::kBadPage},
      {"body cut short", good.substr(0, good.size() - 1), Verdict::kBadPage},
      {"an audio packet, then more", Make(small_pages, {audio, other}), Verdict::kSafe},
      {"5 MiB before the first audio packet", Make(small_pages, {other, audio}),
       Verdict::kHeadersTooLarge},
      {"then a byte, not a page", good + "x" + Make(small_pages, {audio}).substr(good.size()),
       Verdict::kSafe},
      {"a byte inside a packet before the first audio packet", split, Verdict::kBadPage},
  });
}

TEST(OggHeaderCheckTest, ChecksIdentificationFields) {
  const auto with = [](std::uint32_t channels, std::uint32_t rate, std::uint8_t blocks,
                       std::uint8_t framing = 1) {
    return Make([&](Headers& h) {
      h.channels = channels, h.rate = rate, h.blocks = blocks, h.framing = framing;
    });
  };
  ExpectVerdicts({
      {"16 channels, 192 kHz, blocks 64 and 8192", with(16, 192000, 0xD6), Verdict::kSafe},
      {"no channels", with(0, 44100, 0xB8), Verdict::kBadIdentification},
      {"17 channels", with(17, 44100, 0xB8), Verdict::kBadIdentification},
      {"rate 0", with(2, 0, 0xB8), Verdict::kBadIdentification},
      {"short block 32", with(2, 44100, 0xB5), Verdict::kBadIdentification},
      {"long block 16384", with(2, 44100, 0xE8), Verdict::kBadIdentification},
      {"short above long", with(2, 44100, 0x8B), Verdict::kBadIdentification},
      {"framing bit", with(2, 44100, 0xB8, 0), Verdict::kBadIdentification},
  });
}

TEST(OggHeaderCheckTest, KeepsCommentFieldsInsideThePacket) {
  const auto with = [](std::string comment) {
    return Make([&](Headers& h) { h.comment = comment; });
  };
  // One comment declaring `length` bytes, followed by 3 bytes and the framing byte.
  const auto comment_of_length = [](char length) {
    return Comment(6, 1, {}, length + std::string("\0\0\0A=1\x01", 7));
  };
  const std::vector<std::string> too_many(kMaxVorbisComments + 1);
  ExpectVerdicts({
      {"no comments, trailing bytes", with(Comment(6, 0, {}, "\x01pad")), Verdict::kSafe},
      // After the vendor length field: 6 vendor bytes, the count and the framing byte.
      {"vendor to the end", with(Comment(11, 0, {})), Verdict::kBadCommentCount},
      {"vendor one past the end", with(Comment(12, 0, {})), Verdict::kBadVendorLength},
      {"count one past", with(Comment(6, 2, {"A=1"})), Verdict::kBadCommentCount},
      {"too many comments, all present", with(Comment(6, kMaxVorbisComments + 1, too_many)),
       Verdict::kBadCommentCount},
      {"length to the framing byte", with(comment_of_length(4)), Verdict::kBadCommentHeader},
      {"length past the end", with(comment_of_length(5)), Verdict::kBadCommentLength},
      {"no framing bit", with(Comment(6, 0, {}, std::string(1, '\0'))), Verdict::kBadCommentHeader},
      {"headers too large", with(Comment(6, 1, {std::string(kMaxVorbisHeaderBytes, 'A')})),
       Verdict::kHeadersTooLarge},
  });
}

TEST(OggHeaderCheckTest, CapsTheSetupTheDecoderWouldAllocate) {
  const auto books = [](std::vector<Book> list) {
    return Make([&](Headers& h) { h.books = list; });
  };
  const auto partitions = [](std::uint32_t channels) {
    return [=](Headers& h) { h.channels = channels, h.blocks = 0xD8, h.partition_size = 1; };
  };
  ExpectVerdicts({
      {"129 codebooks", books(std::vector<Book>(129)), Verdict::kSetupTooLarge},
      {"too many entries", books({{1, kMaxCodebookEntries + 1}}), Verdict::kCodebookTooLarge},
      {"too many dimensions", books({{kMaxCodebookDimensions + 1, 2}}), Verdict::kCodebookTooLarge},
      {"product too large", books({{17, 65536}}), Verdict::kCodebookTooLarge},
      {"total values too large", books(std::vector<Book>(5, {16, 65536})), Verdict::kSetupTooLarge},
      {"total entries too large", books(std::vector<Book>(17, {1, 65536})),
       Verdict::kSetupTooLarge},
      {"four 2-bit codes", books({{1, 4, 2}}), Verdict::kSafe},
      {"five 2-bit codes: no Huffman code", books({{1, 5, 2}}), Verdict::kBadSetup},
      {"31-bit codes", books({{1, 2, kMaxCodewordLength + 1}}), Verdict::kBadSetup},
      // 3^8 entries as libvorbis writes for type 1; 2^20 values for type 2.
      {"lookup tables", books({{8, 6561, 16, 1, 3}, {16, 65536, 16, 2, 1 << 20}}), Verdict::kSafe},
      {"lookup type 1: (r + 2)^31 beyond int", books({{31, 2, 16, 1, 1}}),
       Verdict::kCodebookTooLarge},
      {"15 submaps", Make([](Headers& h) { h.submaps = 15; }), Verdict::kSafe},
      {"16 submaps", Make([](Headers& h) { h.submaps = 16; }), Verdict::kBadSetup},
      {"floor type 0", Make([](Headers& h) { h.floor_type = 0; }), Verdict::kBadSetup},
      // One-sample partitions over half a long block of 8192: 2 x 4096, then 16 x 4096.
      {"partitions, 2 channels", Make(partitions(2)), Verdict::kSafe},
      {"partitions, 16 channels", Make(partitions(16)), Verdict::kSetupTooLarge},
      {"setup cut short", Make([](Headers& h) { h.setup_size = 20; }), Verdict::kBadSetup},
  });
}

}  // namespace
