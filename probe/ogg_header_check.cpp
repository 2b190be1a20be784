#include "probe/ogg_header_check.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr std::uint8_t kFlagContinued = 1;
constexpr std::uint8_t kFlagFirst = 2;
constexpr std::uint8_t kFlagLast = 4;
constexpr std::size_t kPageHeaderSize = 27;
constexpr std::size_t kIdentificationSize = 30;
constexpr std::uint32_t kCodebookSync = 0x564342;  // "BCV", read least significant bit first
constexpr std::uint32_t kMaxLookupSize = 0x7FFFFFFF;
// The decoder starts its last-page search this far before the end of the file.
constexpr std::size_t kLastPageSearchSpan = 65536;
// The decoder's own structures as Debian's stb_vorbis 1.22 lays them out on x86-64 (1904,
// 2120, 1596, 32 and 48 bytes), rounded up: the decoder proper, a codebook, a floor, a residue,
// a mapping.
constexpr std::uint64_t kDecoderStateBytes = 2048;
constexpr std::uint64_t kCodebookStateBytes = 2176;
constexpr std::uint64_t kFloorStateBytes = 1664;
constexpr std::uint64_t kResidueStateBytes = 64;
constexpr std::uint64_t kMappingStateBytes = 64;
// Codes longer than this go into a codebook's sorted tables.
constexpr std::uint32_t kFastHuffmanLength = 10;
constexpr std::uint64_t kPointerBytes = sizeof(void*);

std::uint32_t Le32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool IsVorbisHeader(const std::uint8_t* bytes, std::uint8_t packet_type) {
  return bytes[0] == packet_type && std::memcmp(bytes + 1, "vorbis", 6) == 0;
}

// Bits needed to write `value`: 0 for 0.
int BitWidth(std::uint32_t value) {
  int width = 0;
  for (; value != 0; value >>= 1) ++width;
  return width;
}

// base^exponent, or kMaxLookupSize + 1 once it passes kMaxLookupSize.
std::uint64_t CappedPower(std::uint64_t base, std::uint32_t exponent) {
  std::uint64_t result = 1;
  for (std::uint32_t i = 0; i < exponent; ++i) {
    result *= base;  // base stays below 2^17 here, so this cannot wrap before the test
    if (result > kMaxLookupSize) return std::uint64_t{kMaxLookupSize} + 1;
  }
  return result;
}

// The decoder's memory area as it fills it while it opens a stream: what it keeps is taken
// from the bottom, each allocation rounded up to 8 bytes, and temporary blocks from the top.
// The area must hold, at every moment, both together.
class DecoderArea {
 public:
  void Keep(std::uint64_t bytes, std::uint64_t times = 1) { kept_ += times * RoundUp(bytes); }
  // Temporary blocks of `bytes` in all, alive while everything kept so far is.
  void Borrow(std::uint64_t bytes) { peak_ = std::max(peak_, kept_ + bytes); }
  std::uint64_t Needed() const { return std::max(kept_, peak_); }

  static std::uint64_t RoundUp(std::uint64_t bytes) { return (bytes + 7) & ~std::uint64_t{7}; }

 private:
  std::uint64_t kept_ = 0;
  std::uint64_t peak_ = 0;
};

// Assigns Huffman codewords to code lengths in entry order, the way the decoder does, to find
// the length lists it cannot build a code from: too many codes of some length, or the state
// its own consistency check aborts on. On that failure the decoder also leaks the lengths of a
// sparse codebook.
class CodewordTree {
 public:
  // Adds an entry whose code is `length` (1..kMaxCodewordLength) bits long. False when no
  // codeword is left.
  bool Add(int length) {
    if (!started_) {
      started_ = true;
      for (int i = 1; i <= length; ++i) available_[i] = 1u << (32 - i);
      return true;
    }
    int depth = length;
    while (depth > 0 && available_[depth] == 0) --depth;
    if (depth == 0) return false;
    const std::uint32_t code = available_[depth];
    available_[depth] = 0;
    for (int y = length; y > depth; --y) {
      if (available_[y] != 0) return false;
      available_[y] = code + (1u << (32 - y));
    }
    return true;
  }

 private:
  bool started_ = false;
  std::uint32_t available_[32] = {};
};

// The Ogg pages of the header packets, in file order, joined into packets by their lacing
// values exactly as the decoder joins them: serial numbers and page sequence numbers are
// not used to pick pages, so the bytes checked are the bytes the decoder will read.
class PacketReader {
 public:
  explicit PacketReader(ByteSource& source) : source_(source) {}

  // Reads the first page, which must begin the stream and hold the 30-byte identification
  // packet alone, as the decoder requires, and starts that packet.
  bool BeginFirstPacket() {
    if (!LoadPage(/*continued=*/false)) return false;
    if ((flags_ & kFlagFirst) == 0 || (flags_ & kFlagLast) != 0 || segment_count_ != 1 ||
        lacing_[0] != kIdentificationSize) {
      return Fail(OggHeaderVerdict::kBadPage);
    }
    return StartPacket();
  }

  // Starts the packet after the current one, which must have been read or skipped to its end:
  // later in the same page, or at the start of the next page, which must not claim to
  // continue a packet.
  bool BeginPacket() {
    if (next_segment_ == segment_count_ && !LoadPage(/*continued=*/false)) return false;
    return StartPacket();
  }

  // Copies the next `size` bytes of the packet to `out` (or drops them when `out` is null).
  // False when the packet ends first or a page is bad; fault() then tells which.
  bool Read(std::uint8_t* out, std::uint64_t size) {
    while (size > 0) {
      if (segment_left_ == 0) {
        if (packet_ended_) return false;
        if (!NextSegment()) return false;
        continue;
      }
      const std::size_t count =
          static_cast<std::size_t>(std::min<std::uint64_t>(size, segment_left_));
      if (out != nullptr) {
        std::memcpy(out, body_.data() + body_position_, count);
        out += count;
      }
      body_position_ += count;
      segment_left_ -= count;
      size -= count;
    }
    return true;
  }

  // Read(&byte, 1), without its loop while the segment lasts: the setup header is read so.
  bool ReadByte(std::uint8_t& byte) {
    if (segment_left_ == 0) return Read(&byte, 1);
    byte = body_[body_position_++];
    --segment_left_;
    return true;
  }

  // The next byte when the current segment still holds it; never loads a page.
  bool ByteInSegment(std::uint8_t& byte) { return segment_left_ != 0 && ReadByte(byte); }

  // Drops what is left of the packet.
  bool SkipRest() {
    while (Read(nullptr, 65536)) {
    }
    return fault_ == OggHeaderVerdict::kSafe;
  }

  // After the setup packet: follows the pages as the decoder does while it opens, skipping
  // packets until it has read its first audio packet (type bit 0) to the end, and refuses
  // files that would make that read long. The decoder ignores serial numbers here; it stops at
  // the end of the file, and at a page that claims to continue a packet where a new one starts.
  OggHeaderVerdict WalkToFirstAudioPacket() {
    std::uint64_t walked = 0;
    bool in_packet = false;
    bool audio = false;
    for (;;) {
      if (next_segment_ == segment_count_) {
        std::uint8_t header[kPageHeaderSize];
        if (!ReadExact(header, sizeof header)) return OggHeaderVerdict::kSafe;
        // The decoder stops where no page starts, except inside a packet it skips: it then
        // looks a few bytes further for a page. Real files have no bytes between pages.
        if (std::memcmp(header, "OggS", 4) != 0 || header[4] != 0) {
          return in_packet && !audio ? OggHeaderVerdict::kBadPage : OggHeaderVerdict::kSafe;
        }
        const bool continued = (header[5] & kFlagContinued) != 0;
        if (!in_packet && continued) return OggHeaderVerdict::kSafe;
        // A packet not continued on the next page ends there.
        if (in_packet && !continued) {
          if (audio) return OggHeaderVerdict::kSafe;
          in_packet = false;
        }
        // The decoder would go on with the previous page's lacing values.
        segment_count_ = header[26];
        if (segment_count_ == 0) return OggHeaderVerdict::kBadPage;
        if (!ReadExact(lacing_.data(), segment_count_)) return OggHeaderVerdict::kSafe;
        std::size_t body_size = 0;
        for (std::size_t i = 0; i < segment_count_; ++i) body_size += lacing_[i];
        walked += kPageHeaderSize + segment_count_ + body_size;
        if (walked > kMaxFirstAudioBytes) return OggHeaderVerdict::kHeadersTooLarge;
        if (!ReadExact(body_.data(), body_size)) return OggHeaderVerdict::kSafe;
        next_segment_ = 0;
        body_position_ = 0;
      }
      const std::size_t lacing = lacing_[next_segment_++];
      if (!in_packet) {
        in_packet = true;
        audio = lacing > 0 && (body_[body_position_] & 1) == 0;
      }
      body_position_ += lacing;
      if (lacing < 255) {
        if (audio) return OggHeaderVerdict::kSafe;
        in_packet = false;
      }
    }
  }

  // kSafe while every page so far was sound; otherwise what was wrong with the first bad one.
  OggHeaderVerdict fault() const { return fault_; }

 private:
  bool Fail(OggHeaderVerdict verdict) {
    fault_ = verdict;
    return false;
  }

  bool StartPacket() {
    segment_left_ = 0;
    packet_ended_ = false;
    return true;
  }

  bool NextSegment() {
    // A packet that fills the rest of its page goes on in the next page.
    if (next_segment_ == segment_count_ && !LoadPage(/*continued=*/true)) return false;
    const std::uint8_t lacing = lacing_[next_segment_++];
    segment_left_ = lacing;
    if (lacing < 255) packet_ended_ = true;
    return true;
  }

  bool ReadExact(std::uint8_t* buffer, std::size_t size) {
    return source_.Read(buffer, size) == size;
  }

  bool LoadPage(bool continued) {
    std::uint8_t header[kPageHeaderSize];
    if (!ReadExact(header, sizeof header)) return Fail(OggHeaderVerdict::kBadPage);
    if (std::memcmp(header, "OggS", 4) != 0 || header[4] != 0) {
      return Fail(OggHeaderVerdict::kBadPage);
    }
    flags_ = header[5];
    if (((flags_ & kFlagContinued) != 0) != continued) return Fail(OggHeaderVerdict::kBadPage);
    // The decoder ignores serial numbers; a page of another stream among the header pages
    // is a stream it cannot read.
    const std::uint32_t serial = Le32(header + 14);
    if (have_serial_ && serial != serial_) return Fail(OggHeaderVerdict::kBadPage);
    serial_ = serial;
    have_serial_ = true;
    // An empty segment table would make the decoder reuse the previous page's lacing values.
    segment_count_ = header[26];
    if (segment_count_ == 0) return Fail(OggHeaderVerdict::kBadPage);
    if (!ReadExact(lacing_.data(), segment_count_)) return Fail(OggHeaderVerdict::kBadPage);
    std::size_t body_size = 0;
    for (std::size_t i = 0; i < segment_count_; ++i) body_size += lacing_[i];
    total_bytes_ += kPageHeaderSize + segment_count_ + body_size;
    if (total_bytes_ > kMaxVorbisHeaderBytes) return Fail(OggHeaderVerdict::kHeadersTooLarge);
    if (!ReadExact(body_.data(), body_size)) return Fail(OggHeaderVerdict::kBadPage);
    next_segment_ = 0;
    body_position_ = 0;
    return true;
  }

  ByteSource& source_;
  OggHeaderVerdict fault_ = OggHeaderVerdict::kSafe;
  std::uint64_t total_bytes_ = 0;
  bool have_serial_ = false;
  std::uint32_t serial_ = 0;
  std::uint8_t flags_ = 0;
  std::array<std::uint8_t, 255> lacing_{};
  std::size_t segment_count_ = 0;
  std::size_t next_segment_ = 0;
  std::array<std::uint8_t, 255 * 255> body_;  // not zeroed: only what a page filled is read
  std::size_t body_position_ = 0;
  std::size_t segment_left_ = 0;  // bytes of the current segment not read yet
  bool packet_ended_ = false;     // the current segment is the packet's last
};

// Bits of a packet, least significant bit of each byte first, as Vorbis packs them.
class BitReader {
 public:
  explicit BitReader(PacketReader& packet) : packet_(packet) {}

  // Reads `count` bits (0..32). False past the end of the packet.
  bool Read(int count, std::uint32_t& value) {
    while (available_ < count) {
      std::uint8_t byte;
      if (!packet_.ReadByte(byte)) return false;
      bits_ |= static_cast<std::uint64_t>(byte) << available_;
      available_ += 8;
    }
    value = static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << count) - 1));
    bits_ >>= count;
    available_ -= count;
    return true;
  }

  // Skips the next eight bits if they are at hand (read or in the current segment) and all
  // zero: eight absent entries of a sparse codebook at once.
  bool SkipZeroByte() {
    std::uint8_t byte;
    if (available_ < 8) {
      if (!packet_.ByteInSegment(byte)) return false;
      bits_ |= static_cast<std::uint64_t>(byte) << available_;
      available_ += 8;
    }
    if ((bits_ & 0xFF) != 0) return false;
    bits_ >>= 8;
    available_ -= 8;
    return true;
  }

 private:
  PacketReader& packet_;
  std::uint64_t bits_ = 0;
  int available_ = 0;
};

struct IdentificationFields {
  std::uint32_t channels = 0;
  std::uint32_t short_block = 0;  // samples
  std::uint32_t long_block = 0;
};

OggHeaderVerdict CheckIdentification(PacketReader& packet, IdentificationFields& fields) {
  std::uint8_t bytes[kIdentificationSize];
  if (!packet.Read(bytes, sizeof bytes)) return OggHeaderVerdict::kBadIdentification;
  const std::uint32_t version = Le32(bytes + 7);
  const std::uint32_t channels = bytes[11];
  const std::uint32_t rate = Le32(bytes + 12);
  const int short_exponent = bytes[28] & 15;
  const int long_exponent = bytes[28] >> 4;
  const bool framed = (bytes[29] & 1) != 0;
  if (!IsVorbisHeader(bytes, 1) || version != 0 || channels < 1 || channels > 16 ||
      rate == 0 || short_exponent < 6 || long_exponent > 13 ||
      short_exponent > long_exponent || !framed) {
    return OggHeaderVerdict::kBadIdentification;
  }
  fields.channels = channels;
  fields.short_block = std::uint32_t{1} << short_exponent;
  fields.long_block = std::uint32_t{1} << long_exponent;
  return OggHeaderVerdict::kSafe;
}

// The comment header is walked, never stored: each length is checked by skipping that many
// bytes, so a length near 2^32 or a count near 2^32 costs no memory and at most one pass over
// the packet's real bytes. The decoder keeps every string, with a terminating zero.
OggHeaderVerdict CheckComment(PacketReader& packet, DecoderArea& area) {
  // Past the end of the packet, a read failure is the field's fault; a bad page is the page's.
  const auto fail = [&packet](OggHeaderVerdict field_fault) {
    return packet.fault() != OggHeaderVerdict::kSafe ? packet.fault() : field_fault;
  };
  std::uint8_t bytes[7];
  if (!packet.Read(bytes, sizeof bytes) || !IsVorbisHeader(bytes, 3)) {
    return fail(OggHeaderVerdict::kBadCommentHeader);
  }
  std::uint8_t field[4];
  if (!packet.Read(field, 4) || !packet.Read(nullptr, Le32(field))) {
    return fail(OggHeaderVerdict::kBadVendorLength);
  }
  area.Keep(std::uint64_t{Le32(field)} + 1);
  if (!packet.Read(field, 4)) return fail(OggHeaderVerdict::kBadCommentCount);
  const std::uint32_t count = Le32(field);
  if (count > kMaxVorbisComments) return OggHeaderVerdict::kBadCommentCount;
  if (count > 0) area.Keep(kPointerBytes * count);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!packet.Read(field, 4)) return fail(OggHeaderVerdict::kBadCommentCount);
    if (!packet.Read(nullptr, Le32(field))) return fail(OggHeaderVerdict::kBadCommentLength);
    area.Keep(std::uint64_t{Le32(field)} + 1);
  }
  std::uint8_t framing;
  if (!packet.Read(&framing, 1) || (framing & 1) == 0) {
    return fail(OggHeaderVerdict::kBadCommentHeader);
  }
  // The decoder skips whatever follows the framing bit.
  return packet.SkipRest() ? OggHeaderVerdict::kSafe : packet.fault();
}

// Walks the setup header field by field as the decoder parses it, refusing what the decoder
// refuses and what would make it allocate or work beyond the caps, and counting what it
// allocates. Stops after the modes: the decoder parses nothing after them.
class SetupChecker {
 public:
  SetupChecker(PacketReader& packet, const IdentificationFields& identification,
               DecoderArea& area)
      : packet_(packet), bits_(packet), identification_(identification), area_(area) {}

  OggHeaderVerdict Check() {
    std::uint8_t bytes[7];
    if (!packet_.Read(bytes, sizeof bytes) || !IsVorbisHeader(bytes, 5)) {
      return packet_.fault() != OggHeaderVerdict::kSafe ? packet_.fault()
                                                        : OggHeaderVerdict::kBadSetup;
    }
    if (Codebooks() && TimeDomain() && Floors() && Residues() && Mappings() && Modes()) {
      KeepBuffers();
      return OggHeaderVerdict::kSafe;
    }
    return verdict_;
  }

 private:
  struct Codebook {
    std::uint32_t entries;
    std::uint32_t dimensions;
  };

  struct CodeCounts {
    std::uint64_t present = 0;  // entries with a code
    std::uint64_t long_codes = 0;  // codes longer than kFastHuffmanLength
  };

  bool Fail(OggHeaderVerdict verdict) {
    verdict_ = verdict;
    return false;
  }

  bool Bits(int count, std::uint32_t& value) {
    if (bits_.Read(count, value)) return true;
    return Fail(packet_.fault() != OggHeaderVerdict::kSafe ? packet_.fault()
                                                           : OggHeaderVerdict::kBadSetup);
  }

  // Reads an index that must lie below `limit`.
  bool Index(int count, std::uint32_t limit, std::uint32_t& value) {
    if (!Bits(count, value)) return false;
    return value < limit || Fail(OggHeaderVerdict::kBadSetup);
  }

  bool SkipBits(std::uint64_t count) {
    std::uint32_t ignored;
    for (; count >= 32; count -= 32) {
      if (!Bits(32, ignored)) return false;
    }
    return Bits(static_cast<int>(count), ignored);
  }

  bool Codebooks() {
    std::uint32_t count;
    if (!Bits(8, count)) return false;
    ++count;
    if (count > kMaxVorbisCodebooks) return Fail(OggHeaderVerdict::kSetupTooLarge);
    area_.Keep(kCodebookStateBytes * count);
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!OneCodebook()) return false;
    }
    return true;
  }

  bool OneCodebook() {
    std::uint32_t sync, dimensions, entries, ordered, sparse = 0;
    if (!Bits(24, sync)) return false;
    if (sync != kCodebookSync) return Fail(OggHeaderVerdict::kBadSetup);
    if (!Bits(16, dimensions) || !Bits(24, entries) || !Bits(1, ordered)) return false;
    if (ordered == 0 && !Bits(1, sparse)) return false;
    if (dimensions == 0 && entries != 0) return Fail(OggHeaderVerdict::kBadSetup);
    // Checked here, before the entries are walked: 2^24 entries would be 2^24 length fields
    // to read, and the decoder allocates for them before reading one.
    const std::uint64_t values = std::uint64_t{entries} * dimensions;
    if (entries > kMaxCodebookEntries || dimensions > kMaxCodebookDimensions ||
        values > kMaxCodebookValues) {
      return Fail(OggHeaderVerdict::kCodebookTooLarge);
    }
    total_entries_ += entries;
    total_values_ += values;
    if (total_entries_ > kMaxTotalCodebookEntries || total_values_ > kMaxTotalCodebookValues) {
      return Fail(OggHeaderVerdict::kSetupTooLarge);
    }
    codebooks_[codebook_count_++] = {entries, dimensions};
    CodeCounts codes;
    if (!CodewordLengths(entries, ordered != 0, sparse != 0, codes)) return false;
    // A sparse codebook with at least a quarter of its entries present is kept as a full one,
    // its lengths copied out of a temporary block. Codes too long for the decoder's direct
    // lookup go into sorted tables: all of a sparse codebook's, built in temporary blocks.
    const bool stays_sparse = sparse != 0 && codes.present < entries / 4;
    const std::uint64_t sorted = stays_sparse ? codes.present : codes.long_codes;
    if (!stays_sparse) {
      area_.Keep(entries);
      if (sparse != 0) area_.Borrow(DecoderArea::RoundUp(entries));
      area_.Keep(std::uint64_t{4} * entries);
    } else if (sorted > 0) {
      area_.Keep(sorted);
    }
    if (sorted > 0) area_.Keep(4 * (sorted + 1), 2);
    if (stays_sparse) {
      area_.Borrow(DecoderArea::RoundUp(entries) + 2 * DecoderArea::RoundUp(4 * sorted));
    }
    return LookupTable(entries, dimensions, stays_sparse ? sorted : entries);
  }

  bool CodewordLengths(std::uint32_t entries, bool ordered, bool sparse, CodeCounts& codes) {
    CodewordTree tree;
    std::uint32_t length;
    if (ordered) {
      if (!Bits(5, length)) return false;
      ++length;
      // Runs of equal lengths; each run is one bit longer, so at most 31 runs.
      for (std::uint32_t entry = 0; entry < entries; ++length) {
        std::uint32_t run;
        if (!Bits(BitWidth(entries - entry), run)) return false;
        if (length > kMaxCodewordLength || run > entries - entry) {
          return Fail(OggHeaderVerdict::kBadSetup);
        }
        for (std::uint32_t i = 0; i < run; ++i) {
          if (!tree.Add(static_cast<int>(length))) return Fail(OggHeaderVerdict::kBadSetup);
        }
        if (length > kFastHuffmanLength) codes.long_codes += run;
        entry += run;
      }
      codes.present = entries;
      return true;
    }
    for (std::uint32_t entry = 0; entry < entries; ++entry) {
      std::uint32_t present = 1;
      if (sparse && entries - entry >= 8 && bits_.SkipZeroByte()) {
        entry += 7;
        continue;
      }
      if (sparse && !Bits(1, present)) return false;
      if (present != 0) {
        if (!Bits(5, length)) return false;
        ++length;
        if (length > kMaxCodewordLength || !tree.Add(static_cast<int>(length))) {
          return Fail(OggHeaderVerdict::kBadSetup);
        }
        ++codes.present;
        if (length > kFastHuffmanLength) ++codes.long_codes;
      }
    }
    return true;
  }

  // `expanded` is how many entries a lookup table of type 1 is expanded for.
  bool LookupTable(std::uint32_t entries, std::uint32_t dimensions, std::uint64_t expanded) {
    std::uint32_t lookup_type;
    if (!Bits(4, lookup_type)) return false;
    if (lookup_type > 2) return Fail(OggHeaderVerdict::kBadSetup);
    if (lookup_type == 0) return true;
    std::uint32_t ignored, value_bits;
    if (!Bits(32, ignored) || !Bits(32, ignored) || !Bits(4, value_bits) ||
        !Bits(1, ignored)) {
      return false;
    }
    ++value_bits;
    std::uint64_t lookup_values = std::uint64_t{entries} * dimensions;
    if (lookup_type == 1) {
      if (dimensions == 0) return Fail(OggHeaderVerdict::kBadSetup);
      // The largest r with r^dimensions <= entries. The decoder finds it in floating point and
      // converts (r + 1)^dimensions to int; allowing for an estimate one too high keeps that
      // conversion in range.
      std::uint64_t root = 0;
      while (CappedPower(root + 1, dimensions) <= entries) ++root;
      if (CappedPower(root + 2, dimensions) > kMaxLookupSize) {
        return Fail(OggHeaderVerdict::kCodebookTooLarge);
      }
      lookup_values = root;
    }
    if (lookup_values == 0) return Fail(OggHeaderVerdict::kBadSetup);
    // The values are read into a temporary block of 16-bit numbers, then kept as floats:
    // type 1 expanded to every entry's dimensions.
    area_.Keep(4 * (lookup_type == 1 ? expanded * dimensions : lookup_values));
    area_.Borrow(DecoderArea::RoundUp(2 * lookup_values));
    return SkipBits(lookup_values * value_bits);
  }

  bool TimeDomain() {
    std::uint32_t count, placeholder;
    if (!Bits(6, count)) return false;
    for (std::uint32_t i = 0; i <= count; ++i) {
      if (!Bits(16, placeholder)) return false;
      if (placeholder != 0) return Fail(OggHeaderVerdict::kBadSetup);
    }
    return true;
  }

  bool Floors() {
    if (!Bits(6, floor_count_)) return false;
    ++floor_count_;
    area_.Keep(kFloorStateBytes * floor_count_);
    for (std::uint32_t i = 0; i < floor_count_; ++i) {
      std::uint32_t type;
      if (!Bits(16, type)) return false;
      // Floor type 0 is valid Vorbis, but the decoder does not support it.
      if (type != 1) return Fail(OggHeaderVerdict::kBadSetup);
      if (!FloorOne()) return false;
    }
    return true;
  }

  bool FloorOne() {
    std::uint32_t partitions, value;
    std::array<std::uint32_t, 32> partition_class{};
    std::array<std::uint32_t, 16> class_dimensions{};
    std::uint32_t class_count = 0;
    if (!Bits(5, partitions)) return false;
    for (std::uint32_t j = 0; j < partitions; ++j) {
      if (!Bits(4, partition_class[j])) return false;
      class_count = std::max(class_count, partition_class[j] + 1);
    }
    for (std::uint32_t j = 0; j < class_count; ++j) {
      std::uint32_t subclass_bits;
      if (!Bits(3, class_dimensions[j]) || !Bits(2, subclass_bits)) return false;
      ++class_dimensions[j];
      if (subclass_bits != 0 && !Index(8, codebook_count_, value)) return false;
      for (std::uint32_t k = 0; k < (1u << subclass_bits); ++k) {
        // Stored plus one: 0 stands for no codebook.
        if (!Index(8, codebook_count_ + 1, value)) return false;
      }
    }
    std::uint32_t range_bits, values = 2;
    if (!Bits(2, value) || !Bits(4, range_bits)) return false;
    for (std::uint32_t j = 0; j < partitions; ++j) {
      for (std::uint32_t k = 0; k < class_dimensions[partition_class[j]]; ++k, ++values) {
        if (!Bits(static_cast<int>(range_bits), value)) return false;
      }
    }
    longest_floor_ = std::max(longest_floor_, values);
    return true;
  }

  bool Residues() {
    if (!Bits(6, residue_count_)) return false;
    ++residue_count_;
    area_.Keep(kResidueStateBytes * residue_count_);
    for (std::uint32_t i = 0; i < residue_count_; ++i) {
      if (!OneResidue()) return false;
    }
    return true;
  }

  bool OneResidue() {
    std::uint32_t type, begin, end, partition_size, classifications, class_book;
    if (!Bits(16, type)) return false;
    if (type > 2) return Fail(OggHeaderVerdict::kBadSetup);
    if (!Bits(24, begin) || !Bits(24, end)) return false;
    if (end < begin) return Fail(OggHeaderVerdict::kBadSetup);
    if (!Bits(24, partition_size) || !Bits(6, classifications) ||
        !Index(8, codebook_count_, class_book)) {
      return false;
    }
    ++partition_size;
    ++classifications;
    std::array<std::uint32_t, 64> cascade{};
    for (std::uint32_t j = 0; j < classifications; ++j) {
      std::uint32_t low, has_high, high = 0;
      if (!Bits(3, low) || !Bits(1, has_high)) return false;
      if (has_high != 0 && !Bits(5, high)) return false;
      cascade[j] = high * 8 + low;
    }
    for (std::uint32_t j = 0; j < classifications; ++j) {
      for (int k = 0; k < 8; ++k) {
        std::uint32_t book;
        if ((cascade[j] & (1u << k)) != 0 && !Index(8, codebook_count_, book)) return false;
      }
    }
    residue_class_entries_ += codebooks_[class_book].entries;
    // The decoder reads at most half a long block of each channel.
    const std::uint32_t half_block = identification_.long_block / 2;
    const std::uint32_t span = std::min(end, half_block) - std::min(begin, half_block);
    const std::uint64_t partitions =
        std::uint64_t{span / partition_size} * identification_.channels;
    if (residue_class_entries_ > kMaxResidueClassEntries || partitions > kMaxResiduePartitions) {
      return Fail(OggHeaderVerdict::kSetupTooLarge);
    }
    // Eight books per classification; a class vector per classbook entry. While it decodes, the
    // decoder takes a pointer per partition and channel from the area, and for type 2 it reads
    // up to a whole long block.
    const Codebook& book = codebooks_[class_book];
    area_.Keep(16 * classifications);
    area_.Keep(kPointerBytes * book.entries);
    area_.Keep(book.dimensions, book.entries);
    const std::uint32_t read = type == 2 ? identification_.long_block : half_block;
    const std::uint32_t decoded = std::min(end, read) - std::min(begin, read);
    most_partitions_ = std::max(most_partitions_, decoded / partition_size);
    return true;
  }

  bool Mappings() {
    const std::uint32_t channels = identification_.channels;
    if (!Bits(6, mapping_count_)) return false;
    ++mapping_count_;
    // Each mapping with 3 bytes per channel.
    area_.Keep(kMappingStateBytes * mapping_count_);
    area_.Keep(3 * channels, mapping_count_);
    for (std::uint32_t i = 0; i < mapping_count_; ++i) {
      std::uint32_t type, flag, submaps = 1, value;
      if (!Bits(16, type)) return false;
      if (type != 0) return Fail(OggHeaderVerdict::kBadSetup);
      if (!Bits(1, flag)) return false;
      if (flag != 0) {
        if (!Bits(4, submaps)) return false;
        ++submaps;
        // The decoder keeps per-submap fields in arrays of 15, though the format allows 16.
        if (submaps > 15) return Fail(OggHeaderVerdict::kBadSetup);
      }
      if (!Bits(1, flag)) return false;
      if (flag != 0) {
        std::uint32_t steps, magnitude, angle;
        if (!Bits(8, steps)) return false;
        if (++steps > channels) return Fail(OggHeaderVerdict::kBadSetup);
        const int width = BitWidth(channels - 1);
        for (std::uint32_t k = 0; k < steps; ++k) {
          if (!Index(width, channels, magnitude) || !Index(width, channels, angle)) return false;
          if (magnitude == angle) return Fail(OggHeaderVerdict::kBadSetup);
        }
      }
      if (!Bits(2, value)) return false;
      if (value != 0) return Fail(OggHeaderVerdict::kBadSetup);
      if (submaps > 1) {
        for (std::uint32_t j = 0; j < channels; ++j) {
          if (!Index(4, submaps, value)) return false;
        }
      }
      for (std::uint32_t j = 0; j < submaps; ++j) {
        if (!Bits(8, value) || !Index(8, floor_count_, value) ||
            !Index(8, residue_count_, value)) {
          return false;
        }
      }
    }
    return true;
  }

  bool Modes() {
    std::uint32_t count, value;
    if (!Bits(6, count)) return false;
    for (std::uint32_t i = 0; i <= count; ++i) {
      std::uint32_t window, transform;
      if (!Bits(1, value) || !Bits(16, window) || !Bits(16, transform)) return false;
      if (window != 0 || transform != 0) return Fail(OggHeaderVerdict::kBadSetup);
      if (!Index(8, mapping_count_, value)) return false;
    }
    return true;
  }

  // After the modes: each channel's decode buffers, the transform tables of both block sizes,
  // then the decoder itself and what decoding one packet borrows.
  void KeepBuffers() {
    const std::uint64_t channels = identification_.channels;
    const std::uint64_t long_block = identification_.long_block;
    area_.Keep(4 * long_block, channels);
    area_.Keep(2 * long_block, channels);
    area_.Keep(2 * longest_floor_, channels);
    for (const std::uint64_t n : {std::uint64_t{identification_.short_block}, long_block}) {
      area_.Keep(2 * n, 3);
      area_.Keep(n);
      area_.Keep(n / 4);
    }
    const std::uint64_t classes = channels * kPointerBytes * (1 + most_partitions_);
    area_.Borrow(kDecoderStateBytes + std::max(classes, 2 * long_block));
  }

  PacketReader& packet_;
  BitReader bits_;
  const IdentificationFields& identification_;
  DecoderArea& area_;
  OggHeaderVerdict verdict_ = OggHeaderVerdict::kBadSetup;
  std::array<Codebook, kMaxVorbisCodebooks> codebooks_{};
  std::uint32_t codebook_count_ = 0;
  std::uint64_t total_entries_ = 0;
  std::uint64_t total_values_ = 0;
  std::uint64_t residue_class_entries_ = 0;
  std::uint32_t floor_count_ = 0;
  std::uint32_t residue_count_ = 0;
  std::uint32_t mapping_count_ = 0;
  std::uint32_t longest_floor_ = 0;    // points of the floor with the most
  std::uint32_t most_partitions_ = 0;  // residue partitions of one channel in a packet
};

}  // namespace

OggHeaderVerdict CheckOggVorbisHeaders(ByteSource& source, std::uint64_t* decoder_area) {
  if (!source.Seek(0)) return OggHeaderVerdict::kBadPage;
  // About 66 KiB of page buffer: kept off the stack of a Windows main thread. Short of
  // memory, the file is simply not given to the decoder.
  std::unique_ptr<PacketReader> packet(new (std::nothrow) PacketReader(source));
  if (packet == nullptr) return OggHeaderVerdict::kHeadersTooLarge;
  if (!packet->BeginFirstPacket()) return packet->fault();
  IdentificationFields identification;
  OggHeaderVerdict verdict = CheckIdentification(*packet, identification);
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  if (!packet->BeginPacket()) return packet->fault();
  DecoderArea area;
  verdict = CheckComment(*packet, area);
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  if (!packet->BeginPacket()) return packet->fault();
  verdict = SetupChecker(*packet, identification, area).Check();
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  // The decoder reads the rest of the setup packet byte by byte: the pages it spans count too.
  if (!packet->SkipRest()) return packet->fault();
  verdict = packet->WalkToFirstAudioPacket();
  if (decoder_area != nullptr) *decoder_area = area.Needed();
  return verdict;
}

bool CanFindOggLength(ByteSource& source, std::uint64_t size) {
  if (size > kMaxOggFileSize) return false;
  const std::uint64_t start = size > kLastPageSearchSpan ? size - kLastPageSearchSpan : 0;
  const std::size_t span = static_cast<std::size_t>(size - start);
  std::unique_ptr<std::uint8_t[]> tail(new (std::nothrow) std::uint8_t[span]);
  if (tail == nullptr || !source.Seek(start) || source.Read(tail.get(), span) != span) {
    return false;
  }
  // The search reads every byte once, and at each capture pattern the page it announces, cut
  // short by the end of the file. A real page would send it past its end instead; counting
  // it as false only overestimates.
  std::uint64_t cost = span;
  for (std::size_t at = 0; at + 4 <= span; ++at) {
    // Straight to the next 'O': a real tail is mostly audio, with few of them.
    const void* next = std::memchr(tail.get() + at, 'O', span - 3 - at);
    if (next == nullptr) break;
    at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - tail.get());
    if (std::memcmp(tail.get() + at, "OggS", 4) != 0) continue;
    const std::uint8_t* header = tail.get() + at;
    const std::size_t left = span - at;
    std::size_t page = kPageHeaderSize;
    // The decoder gives up on a candidate of another version after its header.
    if (left >= kPageHeaderSize && header[4] == 0) {
      const std::size_t segments = header[26];
      page += segments;
      for (std::size_t i = 0; i < segments && kPageHeaderSize + i < left; ++i) {
        page += header[kPageHeaderSize + i];
      }
    }
    cost += std::min(page, left);
    if (cost > kMaxLastPageSearchBytes) return false;
  }
  return true;
}
