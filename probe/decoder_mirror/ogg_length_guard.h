#pragma once

#include <cstdint>

#include "probe/byte_source.h"
#include "probe/decoder_mirror/ogg_caps.h"

// The decoder counts a stream's sample frames in 32 bits: where the last page declares more,
// it reports this count. The route takes it for no length of its own (n/a).
inline constexpr std::uint32_t kDecoderSaturatedFrames = 0xFFFFFFFE;

// The decoder finds a stream's length by searching the file's last 64 KiB for its last page,
// one byte at a time, reading the page after every "OggS" it meets there to check it. These
// functions tell, before the decoder is asked, whether that search ends soon and right.

// The bytes the search may read in the `size`-byte file read from `source`: every byte of the
// last 64 KiB once, and at each "OggS" there the page that its header announces, cut short by
// the end of the file (only its header for another version). Every such page is counted as a
// false one, after which the search moves on by one byte; a real page would send it past its
// end instead, so this only overestimates. Counting stops once `cost` passes
// kMaxLastPageSearchBytes. Reads at most the last 64 KiB, and leaves the position unspecified;
// false when they cannot be read.
bool CountLastPageSearch(ByteSource& source, std::uint64_t size, std::uint64_t* cost);

// Whether the decoder can be asked for the length of the `size`-byte file read from `source`:
// false when the file is larger than kMaxOggFileSize, when its last-page search could read more
// than kMaxLastPageSearchBytes (CountLastPageSearch: real files stay far below), or when the
// end of the file cannot be read.
bool CanFindOggLength(ByteSource& source, std::uint64_t size);
