#include "probe/decoder_mirror/decoder_area_model.h"

#include <algorithm>

namespace {

// The decoder's own structures on x86-64 (1904, 2120, 1596, 32 and 48 bytes), rounded up: the
// decoder proper, a codebook, a floor, a residue, a mapping.
constexpr std::uint64_t kDecoderStateBytes = 2048;
constexpr std::uint64_t kCodebookStateBytes = 2176;
constexpr std::uint64_t kFloorStateBytes = 1664;
constexpr std::uint64_t kResidueStateBytes = 64;
constexpr std::uint64_t kMappingStateBytes = 64;
constexpr std::uint64_t kPointerBytes = sizeof(void*);

std::uint64_t RoundUp(std::uint64_t bytes) { return (bytes + 7) & ~std::uint64_t{7}; }

}  // namespace

void DecoderAreaModel::Keep(std::uint64_t bytes, std::uint64_t times) {
  kept_ += times * RoundUp(bytes);
}

void DecoderAreaModel::Borrow(std::uint64_t bytes) { peak_ = std::max(peak_, kept_ + bytes); }

void DecoderAreaModel::Append(const DecoderAreaModel& later) {
  // Every borrow counts above what was kept before it, so the later peak stands on this kept.
  peak_ = std::max(peak_, kept_ + later.peak_);
  kept_ += later.kept_;
  longest_floor_ = std::max(longest_floor_, later.longest_floor_);
  most_partitions_ = std::max(most_partitions_, later.most_partitions_);
}

void DecoderAreaModel::CommentString(std::uint32_t length) { Keep(std::uint64_t{length} + 1); }

void DecoderAreaModel::CommentList(std::uint32_t count) {
  if (count > 0) Keep(kPointerBytes * count);
}

void DecoderAreaModel::Codebooks(std::uint32_t count) { Keep(kCodebookStateBytes * count); }

void DecoderAreaModel::Codebook(std::uint32_t entries, bool sparse, std::uint64_t present,
                                std::uint64_t long_codes) {
  // A codebook kept whole takes a length and a codeword per entry; a sparse one read its
  // lengths into a temporary block, and copies them out when it is kept whole after all.
  // Codes too long for the decoder's direct lookup go into two sorted tables: all of a
  // codebook kept sparse, built in temporary blocks.
  const bool stays_sparse = StaysSparse(sparse, entries, present);
  const std::uint64_t sorted = stays_sparse ? present : long_codes;
  if (!stays_sparse) {
    Keep(entries);
    if (sparse) Borrow(RoundUp(entries));
    Keep(std::uint64_t{4} * entries);
  } else if (sorted > 0) {
    Keep(sorted);
  }
  if (sorted > 0) Keep(4 * (sorted + 1), 2);
  if (stays_sparse) Borrow(RoundUp(entries) + 2 * RoundUp(4 * sorted));
}

void DecoderAreaModel::LookupTable(std::uint32_t lookup_type, std::uint32_t entries,
                                   std::uint32_t dimensions, bool stays_sparse,
                                   std::uint64_t present, std::uint64_t lookup_values) {
  if (lookup_type == 0) return;
  // The values are read into a temporary block of 16-bit numbers, then kept as floats: type 1
  // expanded to every dimension of every entry the codebook keeps.
  const std::uint64_t kept_entries = stays_sparse ? present : entries;
  Keep(4 * (lookup_type == 1 ? kept_entries * dimensions : lookup_values));
  Borrow(RoundUp(2 * lookup_values));
}

void DecoderAreaModel::Floors(std::uint32_t count) { Keep(kFloorStateBytes * count); }

void DecoderAreaModel::Floor(std::uint32_t points) {
  longest_floor_ = std::max(longest_floor_, points);
}

void DecoderAreaModel::Residues(std::uint32_t count) { Keep(kResidueStateBytes * count); }

void DecoderAreaModel::Residue(std::uint32_t type, std::uint32_t begin, std::uint32_t end,
                               std::uint32_t partition_size, std::uint32_t classifications,
                               std::uint32_t book_entries, std::uint32_t book_dimensions) {
  // Eight books per classification; a class vector per classbook entry.
  Keep(16 * classifications);
  Keep(kPointerBytes * book_entries);
  Keep(book_dimensions, book_entries);
  // While it decodes, the decoder takes a pointer per partition and channel: it reads half a
  // long block of each channel, for type 2 a whole one.
  const std::uint32_t read = type == 2 ? long_block_ : long_block_ / 2;
  const std::uint32_t decoded = std::min(end, read) - std::min(begin, read);
  most_partitions_ = std::max(most_partitions_, decoded / partition_size);
}

void DecoderAreaModel::Mappings(std::uint32_t count) {
  // Each mapping with 3 bytes per channel.
  Keep(kMappingStateBytes * count);
  Keep(3 * channels_, count);
}

void DecoderAreaModel::StartDecoding() {
  const std::uint64_t channels = channels_;
  const std::uint64_t long_block = long_block_;
  // Per channel: the decode buffer, the previous window's half, the floor's points.
  Keep(4 * long_block, channels);
  Keep(2 * long_block, channels);
  Keep(2 * std::uint64_t{longest_floor_}, channels);
  // Per block size: the transform's three tables, the window and the bit reversal.
  for (const std::uint64_t n : {std::uint64_t{short_block_}, long_block}) {
    Keep(2 * n, 3);
    Keep(n);
    Keep(n / 4);
  }
  const std::uint64_t classes = channels * kPointerBytes * (1 + most_partitions_);
  Borrow(kDecoderStateBytes + std::max(classes, 2 * long_block));
}
