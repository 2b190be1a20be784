#include "probe/decoder_mirror/vorbis_codebook_check.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr std::uint32_t kCodebookSync = 0x564342;  // "BCV", read least significant bit first
constexpr std::uint64_t kIntMax = 0x7FFFFFFF;
// Codes longer than this go into a codebook's sorted tables.
constexpr std::uint32_t kFastHuffmanLength = 10;
// A codebook kept whole with at most this many entries is searched entry by entry.
constexpr std::uint32_t kLinearSearchEntries = 8;
constexpr std::uint32_t kLongestCode = 31;

// base^exponent, or kIntMax + 1 once it passes kIntMax.
std::uint64_t CappedPower(std::uint64_t base, std::uint32_t exponent) {
  std::uint64_t result = 1;
  for (std::uint32_t i = 0; i < exponent; ++i) {
    result *= base;  // base stays below 2^25 here, so this cannot wrap before the test
    if (result > kIntMax) return kIntMax + 1;
  }
  return result;
}

// Assigns Huffman codewords to code lengths in entry order, the way the decoder does, to find
// the length lists it cannot build a code from.
class CodewordTree {
 public:
  // Adds an entry whose code is `length` (1..31) bits long: kSafe, kBadSetup when no codeword
  // is left (the decoder refuses the codebook), or kUndefinedInDecoder when the decoder's
  // consistency check fails (an assertion, which aborts).
  OggHeaderVerdict Add(int length) {
    if (!started_) {
      started_ = true;
      for (int i = 1; i <= length; ++i) available_[i] = 1u << (32 - i);
      return OggHeaderVerdict::kSafe;
    }
    int depth = length;
    while (depth > 0 && available_[depth] == 0) --depth;
    if (depth == 0) return OggHeaderVerdict::kBadSetup;
    const std::uint32_t code = available_[depth];
    available_[depth] = 0;
    for (int y = length; y > depth; --y) {
      if (available_[y] != 0) return OggHeaderVerdict::kUndefinedInDecoder;
      available_[y] = code + (1u << (32 - y));
    }
    return OggHeaderVerdict::kSafe;
  }

 private:
  bool started_ = false;
  std::uint32_t available_[32] = {};
};

struct CodeCounts {
  std::uint64_t present = 0;     // entries with a code
  std::uint64_t long_codes = 0;  // codes longer than kFastHuffmanLength
  bool longest_code = false;     // a code of kLongestCode bits
};

// The decoder reads every length, then builds the code; the tree is built as they come, which
// ends on the same verdict sooner.
OggHeaderVerdict CodewordLengths(VorbisBitReader& bits, std::uint32_t entries, bool ordered,
                                 bool sparse, CodeCounts* codes) {
  CodewordTree tree;
  const auto add = [&](std::uint32_t length) {
    const OggHeaderVerdict fit = tree.Add(static_cast<int>(length));
    ++codes->present;
    if (length > kFastHuffmanLength) ++codes->long_codes;
    if (length == kLongestCode) codes->longest_code = true;
    return fit;
  };
  if (ordered) {
    // Runs of equal lengths; each run is one bit longer, so at most 31 runs.
    for (std::uint32_t entry = 0, length = bits.Get(5) + 1; entry < entries; ++length) {
      const std::uint32_t run = bits.Get(BitWidth(entries - entry));
      if (length > kLongestCode || run > entries - entry) return OggHeaderVerdict::kBadSetup;
      for (std::uint32_t i = 0; i < run; ++i) {
        const OggHeaderVerdict fit = add(length);
        if (fit != OggHeaderVerdict::kSafe) return fit;
      }
      entry += run;
    }
    return OggHeaderVerdict::kSafe;
  }
  for (std::uint32_t entry = 0; entry < entries; ++entry) {
    if (sparse && bits.Get(1) == 0) continue;
    const std::uint32_t length = bits.Get(5) + 1;
    if (length > kLongestCode) return OggHeaderVerdict::kBadSetup;
    const OggHeaderVerdict fit = add(length);
    if (fit != OggHeaderVerdict::kSafe) return fit;
  }
  return OggHeaderVerdict::kSafe;
}

// The number of values of a lookup table of type 1, the largest r with r^dimensions <=
// entries, as the decoder finds it: an estimate in floating point, raised by one when too low,
// refused when still off. It converts (r + 1)^dimensions and r^dimensions to int, which is
// undefined beyond int. Where its estimate lies within rounding of a whole number (a different
// math library could round it the other way), both readings are followed.
OggHeaderVerdict LookupOneValues(std::uint32_t entries, std::uint32_t dimensions,
                                 std::uint64_t* values) {
  const float exponent = static_cast<float>(std::log(static_cast<double>(
                             static_cast<float>(entries)))) / static_cast<float>(dimensions);
  const double estimate = std::exp(static_cast<double>(exponent));
  bool found = false;
  for (const double nudge : {-1e-6, 1e-6}) {
    std::uint64_t r = static_cast<std::uint64_t>(std::floor(estimate * (1 + nudge)));
    if (CappedPower(r + 1, dimensions) > kIntMax) return OggHeaderVerdict::kUndefinedInDecoder;
    if (CappedPower(r + 1, dimensions) <= entries) ++r;
    if (CappedPower(r, dimensions) > kIntMax) return OggHeaderVerdict::kUndefinedInDecoder;
    if (CappedPower(r + 1, dimensions) <= entries || CappedPower(r, dimensions) > entries) {
      continue;  // the decoder refuses
    }
    *values = found ? std::max<std::uint64_t>(*values, r) : r;
    found = true;
  }
  return found ? OggHeaderVerdict::kSafe : OggHeaderVerdict::kBadSetup;
}

OggHeaderVerdict LookupTable(VorbisBitReader& bits, std::uint32_t entries,
                             std::uint32_t dimensions, bool stays_sparse, std::uint64_t present,
                             DecoderAreaModel* area) {
  const std::uint32_t lookup_type = bits.Get(4);
  if (lookup_type > 2) return OggHeaderVerdict::kBadSetup;
  if (lookup_type == 0) return OggHeaderVerdict::kSafe;
  bits.Get(32);  // minimum
  bits.Get(32);  // delta
  const std::uint32_t value_bits = bits.Get(4) + 1;
  bits.Get(1);  // sequence flag
  std::uint64_t lookup_values = std::uint64_t{entries} * dimensions;
  if (lookup_type == 1) {
    const OggHeaderVerdict verdict = LookupOneValues(entries, dimensions, &lookup_values);
    if (verdict != OggHeaderVerdict::kSafe) return verdict;
  }
  if (lookup_values == 0) return OggHeaderVerdict::kBadSetup;
  area->LookupTable(lookup_type, entries, dimensions, stays_sparse, present, lookup_values);
  for (std::uint64_t i = 0; i < lookup_values; ++i) bits.Get(static_cast<int>(value_bits));
  return OggHeaderVerdict::kSafe;
}

}  // namespace

OggHeaderVerdict CheckVorbisCodebook(VorbisBitReader& bits, CodebookTotals* totals,
                                     DecoderAreaModel* area, VorbisCodebook* book) {
  if (bits.Get(24) != kCodebookSync) return OggHeaderVerdict::kBadSetup;
  const std::uint32_t dimensions = bits.Get(16);
  const std::uint32_t entries = bits.Get(24);
  const bool ordered = bits.Get(1) != 0;
  const bool sparse = !ordered && bits.Get(1) != 0;
  if (dimensions == 0 && entries != 0) return OggHeaderVerdict::kBadSetup;
  // Checked here, before the entries are walked: 2^24 entries would be 2^24 length fields to
  // read, and the decoder allocates for them before reading one.
  totals->entries += entries;
  totals->values += std::uint64_t{entries} * dimensions;
  if (totals->entries > kMaxTotalCodebookEntries || totals->values > kMaxTotalCodebookValues) {
    return OggHeaderVerdict::kSetupTooLarge;
  }
  CodeCounts codes;
  const OggHeaderVerdict verdict = CodewordLengths(bits, entries, ordered, sparse, &codes);
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  const bool stays_sparse = StaysSparse(sparse, entries, codes.present);
  book->entries = entries;
  book->dimensions = dimensions;
  book->long_code_linear = !stays_sparse && entries <= kLinearSearchEntries && codes.longest_code;
  area->Codebook(entries, sparse, codes.present, codes.long_codes);
  return LookupTable(bits, entries, dimensions, stays_sparse, codes.present, area);
}
