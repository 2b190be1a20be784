#include "probe/ogg_header_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr std::uint8_t kFlagContinued = 1;
constexpr std::uint8_t kFlagFirst = 2;
constexpr std::uint8_t kFlagLast = 4;
constexpr std::size_t kPageHeaderSize = 27;
constexpr std::uint8_t kIdentificationSize = 30;
// What the decoder's packet byte reader returns at the end of a packet.
constexpr int kEndOfPacket = -1;
constexpr std::uint32_t kCodebookSync = 0x564342;  // "BCV", read least significant bit first
constexpr std::uint64_t kIntMax = 0x7FFFFFFF;
// The decoder starts its last-page search this far before the end of the file.
constexpr std::size_t kLastPageSearchSpan = 65536;
constexpr std::size_t kReadBufferSize = 65536;
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
// A codebook kept whole with at most this many entries is searched entry by entry, with a mask
// of each code's length built by shifting an int: a code of 31 bits overflows it.
constexpr std::uint32_t kLinearSearchEntries = 8;
constexpr std::uint32_t kLongestCode = 31;
// The decoder keeps the submaps of a mapping in arrays of this size.
constexpr std::uint32_t kSubmapSlots = 15;
constexpr std::uint64_t kPointerBytes = sizeof(void*);

std::uint32_t Le32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Bits needed to write `value`: 0 for 0.
int BitWidth(std::uint32_t value) {
  int width = 0;
  for (; value != 0; value >>= 1) ++width;
  return width;
}

// base^exponent, or kIntMax + 1 once it passes kIntMax.
std::uint64_t CappedPower(std::uint64_t base, std::uint32_t exponent) {
  std::uint64_t result = 1;
  for (std::uint32_t i = 0; i < exponent; ++i) {
    result *= base;  // base stays below 2^25 here, so this cannot wrap before the test
    if (result > kIntMax) return kIntMax + 1;
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
// the length lists it cannot build a code from.
class CodewordTree {
 public:
  enum class Fit {
    kAssigned,
    kNoneLeft,    // the decoder refuses the codebook
    kInconsistent,  // the decoder's consistency check fails: an assertion, which aborts
  };

  // Adds an entry whose code is `length` (1..31) bits long.
  Fit Add(int length) {
    if (!started_) {
      started_ = true;
      for (int i = 1; i <= length; ++i) available_[i] = 1u << (32 - i);
      return Fit::kAssigned;
    }
    int depth = length;
    while (depth > 0 && available_[depth] == 0) --depth;
    if (depth == 0) return Fit::kNoneLeft;
    const std::uint32_t code = available_[depth];
    available_[depth] = 0;
    for (int y = length; y > depth; --y) {
      if (available_[y] != 0) return Fit::kInconsistent;
      available_[y] = code + (1u << (32 - y));
    }
    return Fit::kAssigned;
  }

 private:
  bool started_ = false;
  std::uint32_t available_[32] = {};
};

// The decoder's reading of an Ogg stream through stdio, step for step and under its names: bytes
// of the file (0 past its end), pages, the segments of their lacing values, and packets read as
// bytes (-1 at their end) or as bits (0 from their end on). Page flags and serial numbers are
// read only where the decoder reads them. The pages it loads are counted against a cap; past it
// no more pages load and fault() tells so.
class DecoderReader {
 public:
  explicit DecoderReader(ByteSource& source) : source_(source) {}

  // Counts the bytes of the pages loaded from now on against `cap`.
  void CountPages(std::uint64_t cap) {
    counted_ = 0;
    cap_ = cap;
  }
  // kSafe while no page passed the cap, else kHeadersTooLarge.
  OggHeaderVerdict fault() const { return fault_; }
  bool eof() const { return eof_; }
  std::uint8_t page_flag() const { return page_flag_; }
  int segment_count() const { return segment_count_; }
  std::uint8_t segment(int index) const { return segments_[index]; }
  // Whether the packet begun last met a page without the continued flag where it goes on: the
  // decoder reads one end of packet there, then the new page as the packet's continuation.
  bool false_end() const { return false_end_; }

  // get8: the next byte of the file, or 0 at its end.
  std::uint8_t Get8() {
    std::uint8_t byte = 0;
    if (!NextByte(byte)) eof_ = true;
    return byte;
  }

  // getn: fread of `size` bytes as one item, which fails for no bytes as for too few.
  bool GetN(std::uint8_t* out, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      if (!NextByte(out[i])) break;
      if (i + 1 == size) return true;
    }
    eof_ = true;
    return false;
  }

  // skip: a seek forward, reading nothing.
  void Skip(std::uint64_t size) { position_ += size; }

  bool StartPage() {
    return Get8() == 'O' && Get8() == 'g' && Get8() == 'g' && Get8() == 'S' &&
           StartPageNoCapturePattern();
  }

  bool StartPageNoCapturePattern() {
    if (fault_ != OggHeaderVerdict::kSafe || Get8() != 0) return false;
    page_flag_ = Get8();
    // Granule position, serial and sequence numbers, checksum: read and not compared.
    for (int i = 0; i < 20; ++i) Get8();
    segment_count_ = Get8();
    if (!GetN(segments_.data(), static_cast<std::size_t>(segment_count_))) return false;
    std::uint64_t size = kPageHeaderSize + static_cast<std::uint64_t>(segment_count_);
    for (int i = 0; i < segment_count_; ++i) size += segments_[i];
    counted_ += size;
    if (counted_ > cap_) {
      fault_ = OggHeaderVerdict::kHeadersTooLarge;
      return false;
    }
    next_seg_ = 0;
    return true;
  }

  bool StartPacket() {
    while (next_seg_ == -1) {
      if (!StartPage() || (page_flag_ & kFlagContinued) != 0) return false;
    }
    last_seg_ = false;
    valid_bits_ = 0;
    bytes_in_seg_ = 0;
    false_end_ = false;
    return true;
  }

  // At a page boundary, reads the next page itself, which must not claim to continue a packet;
  // the end of the file there is no fault.
  bool MaybeStartPacket() {
    if (next_seg_ == -1) {
      const std::uint8_t first = Get8();
      if (eof_ || first != 'O' || Get8() != 'g' || Get8() != 'g' || Get8() != 'S' ||
          !StartPageNoCapturePattern()) {
        return false;
      }
      if ((page_flag_ & kFlagContinued) != 0) {
        last_seg_ = false;
        bytes_in_seg_ = 0;
        return false;
      }
    }
    return StartPacket();
  }

  int NextSegment() {
    if (last_seg_) return 0;
    if (next_seg_ == -1) {
      if (!StartPage()) {
        last_seg_ = true;
        return 0;
      }
      if ((page_flag_ & kFlagContinued) == 0) {
        false_end_ = true;
        return 0;
      }
    }
    const int length = segments_[next_seg_++];
    if (length < 255) last_seg_ = true;
    if (next_seg_ >= segment_count_) next_seg_ = -1;
    bytes_in_seg_ = length;
    return length;
  }

  int Get8PacketRaw() {
    if (bytes_in_seg_ == 0 && (last_seg_ || NextSegment() == 0)) return kEndOfPacket;
    --bytes_in_seg_;
    return Get8();
  }

  int Get8Packet() {
    const int byte = Get8PacketRaw();
    valid_bits_ = 0;
    return byte;
  }

  // get32_packet. `undefined` is set when the decoder shifts an end of packet (-1) left to
  // assemble the value, which happens for its second and third bytes.
  std::uint32_t Get32Packet(bool& undefined) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const int byte = Get8Packet();
      if (byte == kEndOfPacket && (i == 1 || i == 2)) undefined = true;
      value += static_cast<std::uint32_t>(byte) << (8 * i);
    }
    return value;
  }

  // get_bits: `count` bits (0..32), least significant first; 0 from the packet's end on, until
  // a byte is read again.
  std::uint32_t GetBits(int count) {
    if (valid_bits_ < 0) return 0;
    if (valid_bits_ < count) {
      if (count > 24) {
        const std::uint32_t low = GetBits(24);
        return low + (GetBits(count - 24) << 24);
      }
      if (valid_bits_ == 0) acc_ = 0;
      while (valid_bits_ < count) {
        const int byte = Get8PacketRaw();
        if (byte == kEndOfPacket) {
          valid_bits_ = -1;
          return 0;
        }
        acc_ += static_cast<std::uint32_t>(byte) << valid_bits_;
        valid_bits_ += 8;
      }
    }
    const std::uint32_t value = acc_ & ((std::uint64_t{1} << count) - 1);
    acc_ = count == 32 ? 0 : acc_ >> count;
    valid_bits_ -= count;
    return value;
  }

  // Get8Packet `count` times, dropping the bytes: a segment or page at a time.
  void DropPacketBytes(std::uint64_t count) {
    valid_bits_ = 0;
    while (count > 0) {
      if (bytes_in_seg_ == 0) {
        if (last_seg_) return;  // every further read is an end of packet
        if (NextSegment() == 0) {
          --count;
          continue;
        }
      }
      const int take = static_cast<int>(std::min<std::uint64_t>(count, bytes_in_seg_));
      Consume(static_cast<std::uint64_t>(take));
      bytes_in_seg_ -= take;
      count -= static_cast<std::uint64_t>(take);
    }
  }

  // flush_packet: reads up to the next end of packet.
  void FlushPacket() {
    for (;;) {
      if (bytes_in_seg_ == 0 && (last_seg_ || NextSegment() == 0)) return;
      Consume(static_cast<std::uint64_t>(bytes_in_seg_));
      bytes_in_seg_ = 0;
    }
  }

  // What the decoder does after the comment header: seeks past the rest of the segment, then
  // past each segment up to one of no bytes, loading the pages they lie in.
  void SkipPacketBySeeking() {
    int length = bytes_in_seg_;
    do {
      Skip(static_cast<std::uint64_t>(length));
      bytes_in_seg_ = 0;
      length = NextSegment();
    } while (length != 0);
  }

 private:
  bool NextByte(std::uint8_t& byte) {
    if (position_ - buffer_start_ >= buffer_size_ && !Refill()) return false;
    byte = buffer_[static_cast<std::size_t>(position_++ - buffer_start_)];
    return true;
  }

  // Bytes read and dropped; at the end of the file the position stays there, as with fgetc.
  void Consume(std::uint64_t size) {
    while (size > 0) {
      if (position_ - buffer_start_ >= buffer_size_ && !Refill()) {
        eof_ = true;
        return;
      }
      const std::uint64_t take = std::min(size, buffer_start_ + buffer_size_ - position_);
      position_ += take;
      size -= take;
    }
  }

  bool Refill() {
    buffer_start_ = position_;
    buffer_size_ = 0;
    if (position_ >= end_) return false;
    if (!source_.Seek(position_)) {
      end_ = position_;
      return false;
    }
    buffer_size_ = source_.Read(buffer_.data(), buffer_.size());
    if (buffer_size_ < buffer_.size()) end_ = position_ + buffer_size_;
    return buffer_size_ > 0;
  }

  ByteSource& source_;
  OggHeaderVerdict fault_ = OggHeaderVerdict::kSafe;
  std::uint64_t counted_ = 0;
  std::uint64_t cap_ = 0;
  std::uint64_t position_ = 0;
  std::uint64_t end_ = ~std::uint64_t{0};  // the file's end, once a read has met it
  std::uint64_t buffer_start_ = 0;
  std::uint64_t buffer_size_ = 0;
  std::array<std::uint8_t, kReadBufferSize> buffer_;  // not zeroed: only what a read filled
  bool eof_ = false;
  std::uint8_t page_flag_ = 0;
  int segment_count_ = 0;
  std::array<std::uint8_t, 255> segments_{};
  int next_seg_ = -1;
  bool last_seg_ = false;
  int bytes_in_seg_ = 0;
  bool false_end_ = false;
  std::uint32_t acc_ = 0;
  int valid_bits_ = 0;
};

struct IdentificationFields {
  std::uint32_t channels = 0;
  std::uint32_t short_block = 0;  // samples
  std::uint32_t long_block = 0;
};

// The first page must begin the stream and hold the 30-byte identification packet alone; the
// decoder reads that packet straight from the file.
OggHeaderVerdict CheckIdentification(DecoderReader& reader, IdentificationFields& fields) {
  if (!reader.StartPage()) return OggHeaderVerdict::kBadPage;
  const std::uint8_t flags = reader.page_flag();
  if ((flags & kFlagFirst) == 0 || (flags & (kFlagLast | kFlagContinued)) != 0 ||
      reader.segment_count() != 1 || reader.segment(0) != kIdentificationSize) {
    return OggHeaderVerdict::kBadPage;
  }
  std::uint8_t bytes[kIdentificationSize];
  bytes[0] = reader.Get8();
  if (!reader.GetN(bytes + 1, 6)) return OggHeaderVerdict::kBadIdentification;
  for (std::size_t i = 7; i < sizeof bytes; ++i) bytes[i] = reader.Get8();
  const std::uint32_t version = Le32(bytes + 7);
  const std::uint32_t channels = bytes[11];
  const std::uint32_t rate = Le32(bytes + 12);
  const int short_exponent = bytes[28] & 15;
  const int long_exponent = bytes[28] >> 4;
  const bool framed = (bytes[29] & 1) != 0;
  if (bytes[0] != 1 || std::memcmp(bytes + 1, "vorbis", 6) != 0 || version != 0 ||
      channels < 1 || channels > 16 || rate == 0 || short_exponent < 6 || long_exponent > 13 ||
      short_exponent > long_exponent || !framed) {
    return OggHeaderVerdict::kBadIdentification;
  }
  fields.channels = channels;
  fields.short_block = std::uint32_t{1} << short_exponent;
  fields.long_block = std::uint32_t{1} << long_exponent;
  return OggHeaderVerdict::kSafe;
}

// A vendor or comment string of `length` bytes (as the decoder read the field): it allocates one
// more byte and reads them, past the packet's end as the end-of-packet value -1. The string is
// walked, never stored, so a length near 2^32 costs no memory, and at most one pass over the
// packet's real bytes.
OggHeaderVerdict CheckString(DecoderReader& reader, DecoderArea& area, std::uint32_t length) {
  // As an int, negative: the decoder writes before its allocation.
  if (length > kIntMax) return OggHeaderVerdict::kUndefinedInDecoder;
  if (length >= kMaxDecoderAreaBytes) return OggHeaderVerdict::kCommentsTooLarge;
  area.Keep(std::uint64_t{length} + 1);
  reader.DropPacketBytes(length);
  return OggHeaderVerdict::kSafe;
}

// The comment header starts on the page after the identification page, whatever that page's
// flags say: the decoder does not look at them there.
OggHeaderVerdict CheckComment(DecoderReader& reader, DecoderArea& area) {
  if (!reader.StartPage() || !reader.StartPacket()) return OggHeaderVerdict::kBadPage;
  if (reader.NextSegment() == 0) return OggHeaderVerdict::kBadCommentHeader;
  if (reader.Get8Packet() != 3) return OggHeaderVerdict::kBadCommentHeader;
  for (const char letter : {'v', 'o', 'r', 'b', 'i', 's'}) {
    if (reader.Get8Packet() != letter) return OggHeaderVerdict::kBadCommentHeader;
  }
  bool undefined = false;
  const auto string = [&]() {
    const std::uint32_t length = reader.Get32Packet(undefined);
    return undefined ? OggHeaderVerdict::kUndefinedInDecoder : CheckString(reader, area, length);
  };
  OggHeaderVerdict verdict = string();
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  const std::uint32_t count = reader.Get32Packet(undefined);
  if (undefined) return OggHeaderVerdict::kUndefinedInDecoder;
  // As an int, a negative count means no comments.
  if (count <= kIntMax) {
    if (count > kMaxVorbisComments) return OggHeaderVerdict::kCommentsTooLarge;
    if (count > 0) area.Keep(kPointerBytes * count);
    for (std::uint32_t i = 0; i < count && verdict == OggHeaderVerdict::kSafe; ++i) {
      verdict = string();
    }
    if (verdict != OggHeaderVerdict::kSafe) return verdict;
  }
  // The framing byte, read as a byte: the end of packet (-1) has its low bit set.
  if ((static_cast<std::uint8_t>(reader.Get8Packet()) & 1) == 0) {
    return OggHeaderVerdict::kBadCommentHeader;
  }
  reader.SkipPacketBySeeking();
  return OggHeaderVerdict::kSafe;
}

// After the setup packet: the decoder decodes its first audio packet while it opens, skipping
// other packets (type bit 1) before it. It stops at the end of the file, at a page it cannot
// load or that claims to continue a packet where a new one starts; the first audio packet it
// reads to its end.
OggHeaderVerdict WalkToFirstAudioPacket(DecoderReader& reader) {
  for (;;) {
    if (reader.eof() || !reader.MaybeStartPacket()) return OggHeaderVerdict::kSafe;
    if (reader.GetBits(1) == 0) break;
    reader.FlushPacket();
  }
  reader.FlushPacket();
  return reader.false_end() ? OggHeaderVerdict::kUndefinedInDecoder : OggHeaderVerdict::kSafe;
}

// Walks the setup header field by field as the decoder parses it (fields from the packet's end
// on read as 0), refusing what the decoder refuses or mishandles and what would make it
// allocate or work beyond the caps, and counting what it allocates. Stops after the modes: the
// decoder parses nothing after them.
class SetupChecker {
 public:
  SetupChecker(DecoderReader& reader, const IdentificationFields& identification,
               DecoderArea& area)
      : reader_(reader), identification_(identification), area_(area) {}

  OggHeaderVerdict Check() {
    if (!reader_.StartPacket()) return OggHeaderVerdict::kBadPage;
    if (reader_.Get8Packet() != 5) return OggHeaderVerdict::kBadSetup;
    for (const char letter : {'v', 'o', 'r', 'b', 'i', 's'}) {
      if (reader_.Get8Packet() != letter) return OggHeaderVerdict::kBadSetup;
    }
    if (!Codebooks() || !TimeDomain() || !Floors() || !Residues() || !Mappings() || !Modes()) {
      return verdict_;
    }
    // Only decoding searches a codebook: that of the first audio packet follows when the
    // header is accepted, with the codebooks that floors and residues name.
    if (long_code_searched_) return OggHeaderVerdict::kUndefinedInDecoder;
    KeepBuffers();
    return OggHeaderVerdict::kSafe;
  }

 private:
  struct Codebook {
    std::uint32_t entries;
    std::uint32_t dimensions;
    bool long_code_linear;  // a kLongestCode code, searched entry by entry
  };

  struct CodeCounts {
    std::uint64_t present = 0;     // entries with a code
    std::uint64_t long_codes = 0;  // codes longer than kFastHuffmanLength
    bool longest_code = false;     // a code of kLongestCode bits
  };

  bool Fail(OggHeaderVerdict verdict) {
    verdict_ = verdict;
    return false;
  }

  std::uint32_t Bits(int count) { return reader_.GetBits(count); }

  // Reads the index of a codebook that decoding may search: false past the last codebook.
  bool BookIndex(std::uint32_t index) {
    if (index >= codebook_count_) return false;
    long_code_searched_ = long_code_searched_ || codebooks_[index].long_code_linear;
    return true;
  }

  bool Codebooks() {
    codebook_count_ = Bits(8) + 1;
    area_.Keep(kCodebookStateBytes * codebook_count_);
    for (std::uint32_t i = 0; i < codebook_count_; ++i) {
      if (!OneCodebook(codebooks_[i])) return false;
    }
    return true;
  }

  bool OneCodebook(Codebook& book) {
    if (Bits(24) != kCodebookSync) return Fail(OggHeaderVerdict::kBadSetup);
    const std::uint32_t dimensions = Bits(16);
    const std::uint32_t entries = Bits(24);
    const bool ordered = Bits(1) != 0;
    const bool sparse = !ordered && Bits(1) != 0;
    if (dimensions == 0 && entries != 0) return Fail(OggHeaderVerdict::kBadSetup);
    // Checked here, before the entries are walked: 2^24 entries would be 2^24 length fields
    // to read, and the decoder allocates for them before reading one.
    total_entries_ += entries;
    total_values_ += std::uint64_t{entries} * dimensions;
    if (total_entries_ > kMaxTotalCodebookEntries || total_values_ > kMaxTotalCodebookValues) {
      return Fail(OggHeaderVerdict::kSetupTooLarge);
    }
    book = {entries, dimensions, false};
    CodeCounts codes;
    if (!CodewordLengths(entries, ordered, sparse, codes)) return false;
    // A sparse codebook with at least a quarter of its entries present is kept as a full one,
    // its lengths copied out of a temporary block. Codes too long for the decoder's direct
    // lookup go into sorted tables: all of a sparse codebook's, built in temporary blocks.
    const bool stays_sparse = sparse && codes.present < entries / 4;
    book.long_code_linear =
        !stays_sparse && entries <= kLinearSearchEntries && codes.longest_code;
    const std::uint64_t sorted = stays_sparse ? codes.present : codes.long_codes;
    if (!stays_sparse) {
      area_.Keep(entries);
      if (sparse) area_.Borrow(DecoderArea::RoundUp(entries));
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

  // The decoder reads every length, then builds the code; the tree is built as they come, which
  // ends on the same verdict sooner.
  bool CodewordLengths(std::uint32_t entries, bool ordered, bool sparse, CodeCounts& codes) {
    CodewordTree tree;
    const auto add = [&](std::uint32_t length) {
      const CodewordTree::Fit fit = tree.Add(static_cast<int>(length));
      if (fit == CodewordTree::Fit::kNoneLeft) return Fail(OggHeaderVerdict::kBadSetup);
      if (fit == CodewordTree::Fit::kInconsistent) {
        return Fail(OggHeaderVerdict::kUndefinedInDecoder);
      }
      ++codes.present;
      if (length > kFastHuffmanLength) ++codes.long_codes;
      if (length == kLongestCode) codes.longest_code = true;
      return true;
    };
    if (ordered) {
      // Runs of equal lengths; each run is one bit longer, so at most 31 runs.
      for (std::uint32_t entry = 0, length = Bits(5) + 1; entry < entries; ++length) {
        const std::uint32_t run = Bits(BitWidth(entries - entry));
        if (length > kLongestCode || run > entries - entry) {
          return Fail(OggHeaderVerdict::kBadSetup);
        }
        for (std::uint32_t i = 0; i < run; ++i) {
          if (!add(length)) return false;
        }
        entry += run;
      }
      return true;
    }
    for (std::uint32_t entry = 0; entry < entries; ++entry) {
      if (sparse && Bits(1) == 0) continue;
      const std::uint32_t length = Bits(5) + 1;
      if (length > kLongestCode) return Fail(OggHeaderVerdict::kBadSetup);
      if (!add(length)) return false;
    }
    return true;
  }

  // `expanded` is how many entries a lookup table of type 1 is expanded for.
  bool LookupTable(std::uint32_t entries, std::uint32_t dimensions, std::uint64_t expanded) {
    const std::uint32_t lookup_type = Bits(4);
    if (lookup_type > 2) return Fail(OggHeaderVerdict::kBadSetup);
    if (lookup_type == 0) return true;
    Bits(32);  // minimum
    Bits(32);  // delta
    const std::uint32_t value_bits = Bits(4) + 1;
    Bits(1);  // sequence flag
    std::uint64_t lookup_values = std::uint64_t{entries} * dimensions;
    if (lookup_type == 1 && !LookupOneValues(entries, dimensions, lookup_values)) return false;
    if (lookup_values == 0) return Fail(OggHeaderVerdict::kBadSetup);
    // The values are read into a temporary block of 16-bit numbers, then kept as floats:
    // type 1 expanded to every entry's dimensions.
    area_.Keep(4 * (lookup_type == 1 ? expanded * dimensions : lookup_values));
    area_.Borrow(DecoderArea::RoundUp(2 * lookup_values));
    for (std::uint64_t i = 0; i < lookup_values; ++i) Bits(static_cast<int>(value_bits));
    return true;
  }

  // The number of values of a lookup table of type 1, the largest r with r^dimensions <=
  // entries, as the decoder finds it: an estimate in floating point, raised by one when too low,
  // refused when still off. It converts (r + 1)^dimensions and r^dimensions to int, which is
  // undefined beyond int. Where its estimate lies within rounding of a whole number (a
  // different math library could round it the other way), both readings are followed.
  bool LookupOneValues(std::uint32_t entries, std::uint32_t dimensions, std::uint64_t& values) {
    const float exponent = static_cast<float>(std::log(static_cast<double>(
                               static_cast<float>(entries)))) / static_cast<float>(dimensions);
    const double estimate = std::exp(static_cast<double>(exponent));
    bool found = false;
    for (const double nudge : {-1e-6, 1e-6}) {
      std::uint64_t r = static_cast<std::uint64_t>(std::floor(estimate * (1 + nudge)));
      if (CappedPower(r + 1, dimensions) > kIntMax) {
        return Fail(OggHeaderVerdict::kUndefinedInDecoder);
      }
      if (CappedPower(r + 1, dimensions) <= entries) ++r;
      if (CappedPower(r, dimensions) > kIntMax) return Fail(OggHeaderVerdict::kUndefinedInDecoder);
      if (CappedPower(r + 1, dimensions) <= entries || CappedPower(r, dimensions) > entries) {
        continue;  // the decoder refuses
      }
      values = found ? std::max<std::uint64_t>(values, r) : r;
      found = true;
    }
    return found || Fail(OggHeaderVerdict::kBadSetup);
  }

  bool TimeDomain() {
    const std::uint32_t count = Bits(6) + 1;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (Bits(16) != 0) return Fail(OggHeaderVerdict::kBadSetup);
    }
    return true;
  }

  bool Floors() {
    floor_count_ = Bits(6) + 1;
    area_.Keep(kFloorStateBytes * floor_count_);
    for (std::uint32_t i = 0; i < floor_count_; ++i) {
      // Floor type 0 is valid Vorbis, but the decoder does not support it.
      if (Bits(16) != 1) return Fail(OggHeaderVerdict::kBadSetup);
      if (!FloorOne()) return false;
    }
    return true;
  }

  bool FloorOne() {
    std::array<std::uint32_t, 32> partition_class{};
    std::array<std::uint32_t, 16> class_dimensions{};
    std::uint32_t class_count = 0;
    const std::uint32_t partitions = Bits(5);
    for (std::uint32_t j = 0; j < partitions; ++j) {
      partition_class[j] = Bits(4);
      class_count = std::max(class_count, partition_class[j] + 1);
    }
    for (std::uint32_t j = 0; j < class_count; ++j) {
      class_dimensions[j] = Bits(3) + 1;
      const std::uint32_t subclass_bits = Bits(2);
      if (subclass_bits != 0 && !BookIndex(Bits(8))) return Fail(OggHeaderVerdict::kBadSetup);
      for (std::uint32_t k = 0; k < (1u << subclass_bits); ++k) {
        // Stored plus one: 0 stands for no codebook.
        const std::uint32_t book = Bits(8);
        if (book != 0 && !BookIndex(book - 1)) return Fail(OggHeaderVerdict::kBadSetup);
      }
    }
    Bits(2);  // multiplier
    const int range_bits = static_cast<int>(Bits(4));
    // The decoder refuses two points at one position.
    std::array<std::uint32_t, 31 * 8 + 2> x_list{0, std::uint32_t{1} << range_bits};
    std::uint32_t values = 2;
    for (std::uint32_t j = 0; j < partitions; ++j) {
      for (std::uint32_t k = 0; k < class_dimensions[partition_class[j]]; ++k) {
        x_list[values++] = Bits(range_bits);
      }
    }
    std::sort(x_list.begin(), x_list.begin() + values);
    if (std::adjacent_find(x_list.begin(), x_list.begin() + values) != x_list.begin() + values) {
      return Fail(OggHeaderVerdict::kBadSetup);
    }
    longest_floor_ = std::max(longest_floor_, values);
    return true;
  }

  bool Residues() {
    residue_count_ = Bits(6) + 1;
    area_.Keep(kResidueStateBytes * residue_count_);
    for (std::uint32_t i = 0; i < residue_count_; ++i) {
      if (!OneResidue()) return false;
    }
    return true;
  }

  bool OneResidue() {
    const std::uint32_t type = Bits(16);
    if (type > 2) return Fail(OggHeaderVerdict::kBadSetup);
    const std::uint32_t begin = Bits(24);
    const std::uint32_t end = Bits(24);
    if (end < begin) return Fail(OggHeaderVerdict::kBadSetup);
    const std::uint32_t partition_size = Bits(24) + 1;
    const std::uint32_t classifications = Bits(6) + 1;
    const std::uint32_t class_book = Bits(8);
    if (!BookIndex(class_book)) return Fail(OggHeaderVerdict::kBadSetup);
    std::array<std::uint32_t, 64> cascade{};
    for (std::uint32_t j = 0; j < classifications; ++j) {
      const std::uint32_t low = Bits(3);
      const std::uint32_t high = Bits(1) != 0 ? Bits(5) : 0;
      cascade[j] = high * 8 + low;
    }
    for (std::uint32_t j = 0; j < classifications; ++j) {
      for (int k = 0; k < 8; ++k) {
        if ((cascade[j] & (1u << k)) != 0 && !BookIndex(Bits(8))) {
          return Fail(OggHeaderVerdict::kBadSetup);
        }
      }
    }
    const Codebook& book = codebooks_[class_book];
    residue_class_entries_ += book.entries;
    residue_class_values_ += std::uint64_t{book.entries} * book.dimensions;
    // The decoder reads at most half a long block of each channel.
    const std::uint32_t half_block = identification_.long_block / 2;
    const std::uint32_t span = std::min(end, half_block) - std::min(begin, half_block);
    const std::uint64_t partitions =
        std::uint64_t{span / partition_size} * identification_.channels;
    if (residue_class_entries_ > kMaxResidueClassEntries ||
        residue_class_values_ > kMaxResidueClassValues || partitions > kMaxResiduePartitions) {
      return Fail(OggHeaderVerdict::kSetupTooLarge);
    }
    // Eight books per classification; a class vector per classbook entry. While it decodes, the
    // decoder takes a pointer per partition and channel from the area, and for type 2 it reads
    // up to a whole long block.
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
    mapping_count_ = Bits(6) + 1;
    // Each mapping with 3 bytes per channel.
    area_.Keep(kMappingStateBytes * mapping_count_);
    area_.Keep(3 * channels, mapping_count_);
    for (std::uint32_t i = 0; i < mapping_count_; ++i) {
      if (Bits(16) != 0) return Fail(OggHeaderVerdict::kBadSetup);
      const std::uint32_t submaps = Bits(1) != 0 ? Bits(4) + 1 : 1;
      if (Bits(1) != 0) {
        const std::uint32_t steps = Bits(8) + 1;
        if (steps > channels) return Fail(OggHeaderVerdict::kBadSetup);
        const int width = BitWidth(channels - 1);
        for (std::uint32_t k = 0; k < steps; ++k) {
          const std::uint32_t magnitude = Bits(width);
          const std::uint32_t angle = Bits(width);
          if (magnitude >= channels || angle >= channels || magnitude == angle) {
            return Fail(OggHeaderVerdict::kBadSetup);
          }
        }
      }
      if (Bits(2) != 0) return Fail(OggHeaderVerdict::kBadSetup);
      if (submaps > 1) {
        for (std::uint32_t j = 0; j < channels; ++j) {
          if (Bits(4) >= submaps) return Fail(OggHeaderVerdict::kBadSetup);
        }
      }
      for (std::uint32_t j = 0; j < submaps; ++j) {
        if (j == kSubmapSlots) return Fail(OggHeaderVerdict::kUndefinedInDecoder);
        Bits(8);  // unused
        const std::uint32_t floor = Bits(8);
        const std::uint32_t residue = Bits(8);
        if (floor >= floor_count_ || residue >= residue_count_) {
          return Fail(OggHeaderVerdict::kBadSetup);
        }
      }
    }
    return true;
  }

  bool Modes() {
    const std::uint32_t count = Bits(6) + 1;
    for (std::uint32_t i = 0; i < count; ++i) {
      Bits(1);  // block flag
      const std::uint32_t window = Bits(16);
      const std::uint32_t transform = Bits(16);
      const std::uint32_t mapping = Bits(8);
      if (window != 0 || transform != 0 || mapping >= mapping_count_) {
        return Fail(OggHeaderVerdict::kBadSetup);
      }
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

  DecoderReader& reader_;
  const IdentificationFields& identification_;
  DecoderArea& area_;
  OggHeaderVerdict verdict_ = OggHeaderVerdict::kBadSetup;
  std::array<Codebook, 256> codebooks_{};
  std::uint32_t codebook_count_ = 0;
  std::uint64_t total_entries_ = 0;
  std::uint64_t total_values_ = 0;
  std::uint64_t residue_class_entries_ = 0;
  std::uint64_t residue_class_values_ = 0;
  std::uint32_t floor_count_ = 0;
  std::uint32_t residue_count_ = 0;
  std::uint32_t mapping_count_ = 0;
  std::uint32_t longest_floor_ = 0;    // points of the floor with the most
  std::uint32_t most_partitions_ = 0;  // residue partitions of one channel in a packet
  bool long_code_searched_ = false;    // a named codebook with Codebook::long_code_linear
};

}  // namespace

OggHeaderVerdict CheckOggVorbisHeaders(ByteSource& source, std::uint64_t* decoder_area) {
  if (!source.Seek(0)) return OggHeaderVerdict::kBadPage;
  // About 66 KiB of read buffer: kept off the stack of a Windows main thread. Short of
  // memory, the file is simply not given to the decoder.
  std::unique_ptr<DecoderReader> reader(new (std::nothrow) DecoderReader(source));
  if (reader == nullptr) return OggHeaderVerdict::kHeadersTooLarge;
  reader->CountPages(kMaxVorbisHeaderBytes);
  IdentificationFields identification;
  DecoderArea area;
  OggHeaderVerdict verdict = CheckIdentification(*reader, identification);
  if (verdict == OggHeaderVerdict::kSafe) verdict = CheckComment(*reader, area);
  if (verdict == OggHeaderVerdict::kSafe) {
    verdict = SetupChecker(*reader, identification, area).Check();
  }
  // The decoder reads the rest of the setup packet byte by byte: the pages it spans count too.
  if (verdict == OggHeaderVerdict::kSafe) reader->FlushPacket();
  // A page past the cap stopped the reading: what followed was not the decoder's.
  if (reader->fault() != OggHeaderVerdict::kSafe) return reader->fault();
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  reader->CountPages(kMaxFirstAudioBytes);
  verdict = WalkToFirstAudioPacket(*reader);
  if (reader->fault() != OggHeaderVerdict::kSafe) return reader->fault();
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
