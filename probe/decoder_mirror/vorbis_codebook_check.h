#pragma once

#include <cstdint>

#include "probe/decoder_mirror/decoder_area_model.h"
#include "probe/decoder_mirror/ogg_header_check.h"
#include "probe/decoder_mirror/vorbis_bit_reader.h"

// What the rest of the setup header needs of a codebook.
struct VorbisCodebook {
  std::uint32_t entries = 0;
  std::uint32_t dimensions = 0;
  // A code of 31 bits in a codebook of at most 8 entries kept whole, which the decoder
  // searches entry by entry with a mask built by shifting an int: undefined once searched.
  bool long_code_linear = false;
};

// Entries and entries times dimensions of the codebooks read so far, for their caps.
struct CodebookTotals {
  std::uint64_t entries = 0;
  std::uint64_t values = 0;
};

// Reads one codebook from `bits` as the decoder parses it: sync pattern, dimensions, entries,
// the code lengths (ordered in runs, or one per entry, a sparse codebook's only for the entries
// marked present), and the lookup table. Adds it to `totals`, counts what the decoder allocates
// for it into `area`, and describes it in `book`. Returns
// - kSafe when the decoder accepts it;
// - kBadSetup when the decoder refuses it: the sync pattern, no dimensions for some entries,
//   code lengths over 31 bits or that no Huffman code has, a lookup type over 2, or a lookup
//   table of no values or of type 1 whose size no whole number fits;
// - kSetupTooLarge once `totals` pass kMaxTotalCodebookEntries or kMaxTotalCodebookValues,
//   before any length is read;
// - kUndefinedInDecoder for code lengths that trip the decoder's consistency check, and for a
//   lookup table of type 1 whose size the decoder's estimate takes beyond an int.
OggHeaderVerdict CheckVorbisCodebook(VorbisBitReader& bits, CodebookTotals* totals,
                                     DecoderAreaModel* area, VorbisCodebook* book);
