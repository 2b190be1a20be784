#include "probe/ogg_header_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using Verdict = OggHeaderVerdict;

// Bits packed least significant first, as Vorbis packs them.
class BitWriter {
 public:
  void Put(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i, ++used_) {
      if (used_ % 8 == 0) bytes_.push_back('\0');
      bytes_.back() = static_cast<char>(bytes_.back() | (((value >> i) & 1) << (used_ % 8)));
    }
  }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  int used_ = 0;
};

struct Codebook {
  std::uint32_t dimensions = 1;
  std::uint32_t entries = 2;
  std::uint32_t lookup_type = 0;
  std::uint32_t lookup_values = 0;  // values written for a lookup table
  std::uint32_t code_length = 16;   // of every entry
  std::uint32_t sync = 0x564342;
};

struct SetupSpec {
  std::vector<Codebook> codebooks = std::vector<Codebook>(1);
  std::uint32_t submaps = 1;
  std::uint32_t floor_type = 1;
  std::uint32_t residue_end = 256;
  std::uint32_t residue_partition_size = 32;
};

std::string Identification(std::uint32_t channels = 2, std::uint32_t rate = 44100,
                           std::uint8_t block_exponents = 0xB8, std::uint8_t framing = 1,
                           std::uint32_t version = 0) {
  std::string out = "\x01vorbis";
  AppendU32(out, version);
  out.push_back(static_cast<char>(channels));
  AppendU32(out, rate);
  out.append(12, '\0');  // bit rates
  out.push_back(static_cast<char>(block_exponents));
  out.push_back(static_cast<char>(framing));
  return out;
}

// A comment header whose vendor length and comment count are written as given.
std::string Comment(std::uint32_t vendor_length, const std::string& vendor,
                    std::uint32_t count, const std::vector<std::string>& comments,
                    bool framing = true) {
  std::string out = "\x03vorbis";
  AppendU32(out, vendor_length);
  out += vendor;
  AppendU32(out, count);
  for (const std::string& comment : comments) {
    AppendU32(out, static_cast<std::uint32_t>(comment.size()));
    out += comment;
  }
  if (framing) out.push_back('\x01');
  return out;
}

std::string Comment(const std::vector<std::string>& comments = {"TITLE=x"}) {
  return Comment(6, "tester", static_cast<std::uint32_t>(comments.size()), comments);
}

std::string SetupPacket(const SetupSpec& setup, std::uint32_t channels = 2) {
  BitWriter bits;
  bits.Put(static_cast<std::uint32_t>(setup.codebooks.size() - 1), 8);
  for (const Codebook& book : setup.codebooks) {
    bits.Put(book.sync, 24);
    bits.Put(book.dimensions, 16);
    bits.Put(book.entries, 24);
    bits.Put(1, 1);   // ordered: one run of equal lengths covers every entry
    bits.Put(book.code_length - 1, 5);
    int width = 0;
    for (std::uint32_t left = book.entries; left != 0; left >>= 1) ++width;
    bits.Put(book.entries, width);
    bits.Put(book.lookup_type, 4);
    if (book.lookup_type != 0) {
      bits.Put(0, 32), bits.Put(0, 32), bits.Put(0, 4), bits.Put(0, 1);  // 1-bit values
      for (std::uint32_t i = 0; i < book.lookup_values; ++i) bits.Put(0, 1);
    }
  }
  bits.Put(0, 6), bits.Put(0, 16);                // one time-domain placeholder
  bits.Put(0, 6), bits.Put(setup.floor_type, 16);  // one floor
  bits.Put(0, 5), bits.Put(0, 2), bits.Put(4, 4);  // with no partitions
  bits.Put(0, 6), bits.Put(0, 16);                // one residue
  bits.Put(0, 24), bits.Put(setup.residue_end, 24), bits.Put(setup.residue_partition_size - 1, 24);
  bits.Put(0, 6), bits.Put(0, 8), bits.Put(0, 3), bits.Put(0, 1);
  bits.Put(0, 6), bits.Put(0, 16);  // one mapping
  bits.Put(setup.submaps > 1 ? 1 : 0, 1);
  if (setup.submaps > 1) bits.Put(setup.submaps - 1, 4);
  bits.Put(0, 1), bits.Put(0, 2);
  if (setup.submaps > 1) {
    for (std::uint32_t i = 0; i < channels; ++i) bits.Put(0, 4);
  }
  for (std::uint32_t i = 0; i < setup.submaps; ++i) bits.Put(0, 8), bits.Put(0, 8), bits.Put(0, 8);
  bits.Put(0, 6), bits.Put(0, 1), bits.Put(0, 16), bits.Put(0, 16), bits.Put(0, 8);  // one mode
  bits.Put(1, 1);
  return "\x05vorbis" + bits.bytes();
}

struct Page {
  std::uint8_t flags = 0;
  std::uint32_t serial = 7;
  std::vector<std::uint8_t> lacing;
  std::string body;
};

// The first packet alone on a first page; the others laced into pages of at most
// `max_segments` segments, spreading a packet over as many pages as it needs.
std::vector<Page> Paginate(const std::vector<std::string>& packets, std::size_t max_segments) {
  std::vector<Page> pages;
  pages.push_back({2, 7, {static_cast<std::uint8_t>(packets[0].size())}, packets[0]});
  Page page;
  for (std::size_t p = 1; p < packets.size(); ++p) {
    std::size_t offset = 0;
    for (bool last = false; !last;) {
      if (page.lacing.size() == max_segments) {
        const bool continues = page.lacing.back() == 255;
        pages.push_back(page);
        page = Page{};
        page.flags = continues ? 1 : 0;
      }
      const std::size_t size = std::min<std::size_t>(255, packets[p].size() - offset);
      page.lacing.push_back(static_cast<std::uint8_t>(size));
      page.body += packets[p].substr(offset, size);
      offset += size;
      last = size < 255;
    }
  }
  pages.push_back(page);
  return pages;
}

std::string Serialize(const std::vector<Page>& pages) {
  std::string out;
  std::uint32_t sequence = 0;
  for (const Page& page : pages) {
    out += "OggS";
    out.push_back('\0');
    out.push_back(static_cast<char>(page.flags));
    out.append(8, '\0');  // granule position
    AppendU32(out, page.serial);
    AppendU32(out, sequence++);
    AppendU32(out, 0);  // checksum: neither the check nor the decoder reads it
    out.push_back(static_cast<char>(page.lacing.size()));
    for (std::uint8_t lacing : page.lacing) out.push_back(static_cast<char>(lacing));
    out += page.body;
  }
  return out;
}

std::string Stream(const std::string& identification, const std::string& comment,
                   const std::string& setup, std::size_t max_segments = 255) {
  return Serialize(Paginate({identification, comment, setup}, max_segments));
}

std::string Stream(const SetupSpec& setup) {
  return Stream(Identification(), Comment(), SetupPacket(setup));
}

Verdict Check(const std::string& bytes) {
  MemoryByteSource source(bytes.data(), bytes.size());
  return CheckOggVorbisHeaders(source);
}

struct Case {
  const char* name;
  std::string bytes;
  Verdict verdict;
};

void ExpectVerdicts(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<int>(c.verdict), static_cast<int>(Check(c.bytes))) << c.name;
  }
}

TEST(OggHeaderCheckTest, PassesEncoderFilesAndRewindsTheStream) {
  for (const char* name : {"vorbis_mono_8k.ogg", "vorbis_stereo_44k.ogg", "vorbis_6ch_48k.ogg",
                           "vorbis_stereo_96k.ogg", "ogg_data_named.wav"}) {
    std::FILE* stream = std::fopen(TestDataFile(name).c_str(), "rb");
    ASSERT_NE(nullptr, stream) << name;
    EXPECT_EQ(Verdict::kSafe, CheckOggVorbisHeaders(stream)) << name;
    char start[4] = {};
    EXPECT_EQ(4u, std::fread(start, 1, 4, stream)) << name;
    EXPECT_EQ("OggS", std::string(start, 4)) << name;
    std::fclose(stream);
  }
  // A refused stream is rewound and clean as well, for whoever reads it next.
  std::FILE* wave = std::fopen(TestDataFile("wave_data_named.ogg").c_str(), "rb");
  ASSERT_NE(nullptr, wave);
  EXPECT_EQ(Verdict::kBadPage, CheckOggVorbisHeaders(wave));
  EXPECT_EQ('R', std::fgetc(wave));
  std::fclose(wave);
}

TEST(OggHeaderCheckTest, ChecksPageStructure) {
  const std::vector<std::string> packets = {Identification(), Comment({std::string(700, 'c')}),
                                             SetupPacket(SetupSpec{})};
  const std::vector<Page> pages = Paginate(packets, 2);
  const std::string good = Serialize(pages);
  ASSERT_EQ(1, pages.at(2).flags);  // the comment packet goes on in the third page
  auto with = [&pages](std::size_t index, auto change) {
    std::vector<Page> copy = pages;
    change(copy[index]);
    return Serialize(copy);
  };
  std::string bad_version = good;
  bad_version[4] = 1;
  std::string two_segment_first = good;
  two_segment_first[26] = 2;
  ExpectVerdicts({
      {"small pages", good, Verdict::kSafe},
      {"empty", "", Verdict::kBadPage},
      {"capture pattern", "OggT" + good.substr(4), Verdict::kBadPage},
      {"version", bad_version, Verdict::kBadPage},
      {"first page not first", with(0, [](Page& p) { p.flags = 0; }), Verdict::kBadPage},
      {"first page last", with(0, [](Page& p) { p.flags = 6; }), Verdict::kBadPage},
      {"two segments on the first page", two_segment_first, Verdict::kBadPage},
      {"continuation unmarked", with(2, [](Page& p) { p.flags = 0; }), Verdict::kBadPage},
      {"new packet marked continued", with(1, [](Page& p) { p.flags = 1; }), Verdict::kBadPage},
      {"other serial", with(2, [](Page& p) { p.serial = 8; }), Verdict::kBadPage},
      {"no segments", with(2, [](Page& p) { p.lacing.clear(), p.body.clear(); }),
       Verdict::kBadPage},
      {"body cut short", good.substr(0, good.size() - 1), Verdict::kBadPage},
      {"setup page missing", Serialize(Paginate({Identification(), Comment()}, 255)),
       Verdict::kBadPage},
  });
}

TEST(OggHeaderCheckTest, ChecksIdentificationFields) {
  const auto with = [](const std::string& identification) {
    return Stream(identification, Comment(), SetupPacket(SetupSpec{}));
  };
  std::string wrong_type = Identification();
  wrong_type[0] = 3;
  std::string wrong_magic = Identification();
  wrong_magic[1] = 'V';
  ExpectVerdicts({
      {"one channel, 8 kHz", with(Identification(1, 8000)), Verdict::kSafe},
      {"16 channels, 192 kHz", with(Identification(16, 192000)), Verdict::kSafe},
      {"blocks 64 and 8192", with(Identification(2, 44100, 0xD6)), Verdict::kSafe},
      {"equal blocks", with(Identification(2, 44100, 0x88)), Verdict::kSafe},
      {"packet type", with(wrong_type), Verdict::kBadIdentification},
      {"magic", with(wrong_magic), Verdict::kBadIdentification},
      {"version", with(Identification(2, 44100, 0xB8, 1, 1)), Verdict::kBadIdentification},
      {"no channels", with(Identification(0)), Verdict::kBadIdentification},
      {"17 channels", with(Identification(17)), Verdict::kBadIdentification},
      {"rate 0", with(Identification(2, 0)), Verdict::kBadIdentification},
      {"short block 32", with(Identification(2, 44100, 0xB5)), Verdict::kBadIdentification},
      {"long block 16384", with(Identification(2, 44100, 0xE8)), Verdict::kBadIdentification},
      {"short above long", with(Identification(2, 44100, 0x8B)), Verdict::kBadIdentification},
      {"framing bit", with(Identification(2, 44100, 0xB8, 0)), Verdict::kBadIdentification},
  });
}

TEST(OggHeaderCheckTest, KeepsCommentFieldsInsideThePacket) {
  const auto with = [](const std::string& comment, std::size_t max_segments = 255) {
    return Stream(Identification(), comment, SetupPacket(SetupSpec{}), max_segments);
  };
  // Several hundred KiB over many pages, like embedded cover art.
  const std::string art = "METADATA_BLOCK_PICTURE=" + std::string(600 * 1024, 'A');
  const std::string comment_with_art = Comment({"TITLE=x", art});
  std::string no_framing = Comment();
  no_framing.back() = '\0';
  // One comment declaring `length` bytes, followed by 3 bytes and the framing byte.
  const auto comment_of_length = [](std::uint32_t length) {
    std::string comment = Comment(6, "tester", 1, {}, false);
    AppendU32(comment, length);
    return comment + "A=1\x01";
  };
  ExpectVerdicts({
      {"cover art", with(comment_with_art), Verdict::kSafe},
      {"cover art, small pages", with(comment_with_art, 7), Verdict::kSafe},
      {"no comments", with(Comment({})), Verdict::kSafe},
      {"trailing bytes", with(Comment() + "padding"), Verdict::kSafe},
      // After the vendor length field: 6 vendor bytes, the count and the framing byte.
      {"vendor to the end", with(Comment(11, "tester", 0, {})), Verdict::kBadCommentCount},
      {"vendor one past the end", with(Comment(12, "tester", 0, {})), Verdict::kBadVendorLength},
      {"vendor near 2^31", with(Comment(0x7FFFFFF0, "tester", 0, {})),
       Verdict::kBadVendorLength},
      {"vendor 2^32 - 1", with(Comment(0xFFFFFFFF, "tester", 0, {})), Verdict::kBadVendorLength},
      {"count one past", with(Comment(6, "tester", 2, {"A=1"})), Verdict::kBadCommentCount},
      {"count near 2^32", with(Comment(6, "tester", 0xFFFFFFF0, {"A=1"})),
       Verdict::kBadCommentCount},
      {"count 2^29", with(Comment(6, "tester", 0x20000000, {"A=1"})), Verdict::kBadCommentCount},
      {"length to the framing byte", with(comment_of_length(4)), Verdict::kBadCommentHeader},
      {"length past the end", with(comment_of_length(5)), Verdict::kBadCommentLength},
      {"length near 2^31", with(comment_of_length(0x7FFFFFF0)), Verdict::kBadCommentLength},
      {"no framing bit", with(no_framing), Verdict::kBadCommentHeader},
      {"framing byte missing", with(Comment(6, "tester", 0, {}, false)),
       Verdict::kBadCommentHeader},
      {"not a comment header", with(SetupPacket(SetupSpec{})), Verdict::kBadCommentHeader},
  });
  std::string oversized = Comment({std::string(kMaxVorbisHeaderBytes, 'A')});
  EXPECT_EQ(Verdict::kHeadersTooLarge, Check(with(oversized)));
}

TEST(OggHeaderCheckTest, CapsTheSetupTheDecoderWouldAllocate) {
  const auto books = [](std::vector<Codebook> codebooks) {
    SetupSpec setup;
    setup.codebooks = std::move(codebooks);
    return Stream(setup);
  };
  const auto book = [](std::uint32_t dimensions, std::uint32_t entries) {
    Codebook c;
    c.dimensions = dimensions, c.entries = entries;
    return c;
  };
  SetupSpec sixteen_submaps;
  sixteen_submaps.submaps = 16;
  SetupSpec fifteen_submaps;
  fifteen_submaps.submaps = 15;
  SetupSpec floor_zero;
  floor_zero.floor_type = 0;
  SetupSpec fine_partitions;  // one-sample partitions over half a long block of 2048: 2 x 1024
  fine_partitions.residue_end = 4096, fine_partitions.residue_partition_size = 1;
  Codebook bad_sync = book(1, 2);
  bad_sync.sync = 0x564343;
  Codebook two_bit_codes = book(1, 4);
  two_bit_codes.code_length = 2;
  Codebook overfull = book(1, 5);  // five 2-bit codes: no Huffman code has them
  overfull.code_length = 2;
  Codebook long_codes = book(1, 2);
  long_codes.code_length = kMaxCodewordLength;
  Codebook too_long_codes = book(1, 2);
  too_long_codes.code_length = kMaxCodewordLength + 1;
  Codebook lookup_type_3 = book(1, 2);
  lookup_type_3.lookup_type = 3;
  Codebook lookup1 = book(8, 6561);  // 3^8, as libvorbis writes
  lookup1.lookup_type = 1, lookup1.lookup_values = 3;
  Codebook lookup1_wide = book(31, 2);  // (r + 2)^31 would not fit an int
  lookup1_wide.lookup_type = 1, lookup1_wide.lookup_values = 1;
  Codebook lookup2 = book(16, 65536);
  lookup2.lookup_type = 2, lookup2.lookup_values = 1 << 20;
  ExpectVerdicts({
      {"one small codebook", books({book(1, 2)}), Verdict::kSafe},
      {"128 codebooks", books(std::vector<Codebook>(128, book(1, 2))), Verdict::kSafe},
      {"129 codebooks", books(std::vector<Codebook>(129, book(1, 2))), Verdict::kSetupTooLarge},
      {"most entries", books({book(1, kMaxCodebookEntries)}), Verdict::kSafe},
      {"too many entries", books({book(1, kMaxCodebookEntries + 1)}),
       Verdict::kCodebookTooLarge},
      {"2^24 - 1 entries", books({book(1, 0xFFFFFF)}), Verdict::kCodebookTooLarge},
      {"most dimensions", books({book(kMaxCodebookDimensions, 2)}), Verdict::kSafe},
      {"too many dimensions", books({book(kMaxCodebookDimensions + 1, 2)}),
       Verdict::kCodebookTooLarge},
      {"largest product", books({book(16, 65536)}), Verdict::kSafe},
      {"product too large", books({book(17, 65536)}), Verdict::kCodebookTooLarge},
      {"int-overflowing product", books({book(0xFFFF, 0xFFFFFF)}), Verdict::kCodebookTooLarge},
      {"total values too large", books(std::vector<Codebook>(5, book(16, 65536))),
       Verdict::kSetupTooLarge},
      {"total entries too large", books(std::vector<Codebook>(17, book(1, 65536))),
       Verdict::kSetupTooLarge},
      {"dimensions 0", books({book(0, 2)}), Verdict::kBadSetup},
      {"sync pattern", books({bad_sync}), Verdict::kBadSetup},
      {"four 2-bit codes", books({two_bit_codes}), Verdict::kSafe},
      {"five 2-bit codes", books({overfull}), Verdict::kBadSetup},
      {"30-bit codes", books({long_codes}), Verdict::kSafe},
      {"31-bit codes", books({too_long_codes}), Verdict::kBadSetup},
      {"lookup type 3", books({lookup_type_3}), Verdict::kBadSetup},
      {"lookup type 1", books({lookup1}), Verdict::kSafe},
      {"lookup type 1 out of int range", books({lookup1_wide}), Verdict::kCodebookTooLarge},
      {"lookup type 2", books({lookup2}), Verdict::kSafe},
      {"15 submaps", Stream(fifteen_submaps), Verdict::kSafe},
      {"16 submaps", Stream(sixteen_submaps), Verdict::kBadSetup},
      {"floor type 0", Stream(floor_zero), Verdict::kBadSetup},
      {"partitions of one sample", Stream(fine_partitions), Verdict::kSafe},
      {"setup cut short",
       Stream(Identification(), Comment(), SetupPacket(SetupSpec{}).substr(0, 20)),
       Verdict::kBadSetup},
  });
  // The same partitions over 16 channels and long blocks of 8192: 16 x 4096.
  EXPECT_EQ(static_cast<int>(Verdict::kSetupTooLarge),
            static_cast<int>(Check(Stream(Identification(16, 44100, 0xD8), Comment(),
                                          SetupPacket(fine_partitions, 16)))));
}

TEST(OggHeaderCheckTest, RefusesEachHostileFileForItsFault) {
  const std::vector<std::pair<const char*, Verdict>> cases = {
      {"comment-list-null.ogg", Verdict::kBadCommentCount},
      {"comment-list-overflow.ogg", Verdict::kBadCommentCount},
      {"setup-failure-frees-uninitialised.ogg", Verdict::kBadCommentLength},
      {"vendor-length-2GiB.ogg", Verdict::kBadVendorLength},
      {"codebooks-4x16M-entries.ogg", Verdict::kCodebookTooLarge},
      {"codebooks-16x16M-entries.ogg", Verdict::kCodebookTooLarge},
      {"codebook-size-int-overflow.ogg", Verdict::kCodebookTooLarge},
  };
  for (const auto& [name, verdict] : cases) {
    const std::string bytes = ReadBytes(TestDataDir() + "/../hostile/data/" + name);
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_EQ(static_cast<int>(verdict), static_cast<int>(Check(bytes))) << name;
  }
}

}  // namespace
