#include "probe/decoder_mirror/vorbis_setup_check.h"

#include <algorithm>
#include <array>

#include "probe/decoder_mirror/vorbis_bit_reader.h"
#include "probe/decoder_mirror/vorbis_codebook_check.h"

namespace {

// The decoder keeps the submaps of a mapping in arrays of this size.
constexpr std::uint32_t kSubmapSlots = 15;

// The setup walk. Each part returns false once a verdict is set in verdict_.
class SetupChecker {
 public:
  SetupChecker(OggPacketReader& packet, const VorbisIdentification& identification,
               DecoderAreaModel* area)
      : packet_(packet), bits_(packet), identification_(identification), area_(*area) {}

  OggHeaderVerdict Check() {
    if (!packet_.StartPacket()) return OggHeaderVerdict::kBadPage;
    if (packet_.Get8Packet() != 5) return OggHeaderVerdict::kBadSetup;
    for (const char letter : {'v', 'o', 'r', 'b', 'i', 's'}) {
      if (packet_.Get8Packet() != letter) return OggHeaderVerdict::kBadSetup;
    }
    if (!Codebooks() || !TimeDomain() || !Floors() || !Residues() || !Mappings() || !Modes()) {
      return verdict_;
    }
    // Only decoding searches a codebook: that of the first audio packet follows when the
    // header is accepted, with the codebooks that floors and residues name.
    if (long_code_searched_) return OggHeaderVerdict::kUndefinedInDecoder;
    area_.StartDecoding();
    return OggHeaderVerdict::kSafe;
  }

 private:
  bool Fail(OggHeaderVerdict verdict) {
    verdict_ = verdict;
    return false;
  }

  std::uint32_t Bits(int count) { return bits_.Get(count); }

  // Reads the index of a codebook that decoding may search: false past the last codebook.
  bool BookIndex(std::uint32_t index) {
    if (index >= codebook_count_) return false;
    long_code_searched_ = long_code_searched_ || codebooks_[index].long_code_linear;
    return true;
  }

  bool Codebooks() {
    codebook_count_ = Bits(8) + 1;
    area_.Codebooks(codebook_count_);
    CodebookTotals totals;
    for (std::uint32_t i = 0; i < codebook_count_; ++i) {
      const OggHeaderVerdict verdict = CheckVorbisCodebook(bits_, &totals, &area_, &codebooks_[i]);
      if (verdict != OggHeaderVerdict::kSafe) return Fail(verdict);
    }
    return true;
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
    area_.Floors(floor_count_);
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
    area_.Floor(values);
    return true;
  }

  bool Residues() {
    residue_count_ = Bits(6) + 1;
    area_.Residues(residue_count_);
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
    const VorbisCodebook& book = codebooks_[class_book];
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
    area_.Residue(type, begin, end, partition_size, classifications, book.entries,
                  book.dimensions);
    return true;
  }

  bool Mappings() {
    const std::uint32_t channels = identification_.channels;
    mapping_count_ = Bits(6) + 1;
    area_.Mappings(mapping_count_);
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

  OggPacketReader& packet_;
  VorbisBitReader bits_;  // used after the packet's first seven bytes, read whole
  const VorbisIdentification& identification_;
  DecoderAreaModel& area_;
  OggHeaderVerdict verdict_ = OggHeaderVerdict::kBadSetup;
  std::array<VorbisCodebook, 256> codebooks_{};
  std::uint32_t codebook_count_ = 0;
  std::uint64_t residue_class_entries_ = 0;
  std::uint64_t residue_class_values_ = 0;
  std::uint32_t floor_count_ = 0;
  std::uint32_t residue_count_ = 0;
  std::uint32_t mapping_count_ = 0;
  bool long_code_searched_ = false;  // a named codebook with long_code_linear
};

}  // namespace

OggHeaderVerdict CheckVorbisSetup(OggPacketReader& packet,
                                  const VorbisIdentification& identification,
                                  DecoderAreaModel* area) {
  return SetupChecker(packet, identification, area).Check();
}
