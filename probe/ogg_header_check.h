#pragma once

#include <cstdint>

#include "probe/byte_source.h"

// A portable gate in front of the Ogg Vorbis decoder. It reads the Ogg pages that carry the
// three Vorbis header packets (identification, comment, setup) exactly as the decoder reads
// them through a stdio stream: pages in file order whatever their serial numbers, lacing values
// joined across pages, page flags looked at only where the decoder looks at them, bytes past a
// packet's end read as the decoder reads them (-1 for a byte, 0 for bits), 0 past the end of
// the file. It then follows the pages the decoder reads while it opens, up to the end of its
// first audio packet, without decoding anything. The verdict is the decoder's own answer
// (kSafe: it opens the stream), except where a cap below or its undefined behaviour stops the
// file first. Memory use is about 64 KiB of read buffer, whatever the file says.
//
// Every file a real encoder writes passes. The caps sit far above what encoders write
// (libvorbis, its ffmpeg and sox front ends and ffmpeg's own encoder: at most 49 codebooks of
// at most 6561 entries and 8 dimensions, 19 413 entries and 87 952 entry dimensions in all,
// residues classified by at most 100 entries) and keep the decoder's set-up work to a few
// hundredths of a second and its memory to a few tens of MiB.

// The largest memory area the decoder is given: the one bound on the memory it takes.
inline constexpr std::uint64_t kMaxDecoderAreaBytes = std::uint64_t{64} << 20;
// Bytes of the pages the decoder loads for the three header packets, page headers included.
// The decoder copies the comment header into its area, so larger headers could not be held
// (cover art of about 47 MiB, 63 MiB as base64, still fits); it also reads every header byte
// one at a time.
inline constexpr std::uint64_t kMaxVorbisHeaderBytes = kMaxDecoderAreaBytes;
// Comments in the comment header (real files carry a few dozen): the decoder makes one
// allocation and keeps one pointer per comment, and sizes their list in an int.
inline constexpr std::uint32_t kMaxVorbisComments = 65536;
// Bytes of the pages after the header packets up to the end of the first audio packet (real
// files: one page of a few KiB), which the decoder reads byte by byte while it opens.
inline constexpr std::uint64_t kMaxFirstAudioBytes = std::uint64_t{1} << 20;
// Entries, and entries times dimensions, summed over all codebooks (the format allows 256
// codebooks of 2^24 entries and 65 535 dimensions). The decoder allocates and works per entry
// (code lengths, codewords, sorted tables) and per entry dimension (lookup values expanded to
// floats, their count held in an int); these totals bound each codebook as well.
inline constexpr std::uint64_t kMaxTotalCodebookEntries = std::uint64_t{1} << 18;
inline constexpr std::uint64_t kMaxTotalCodebookValues = std::uint64_t{1} << 20;
// Entries of each residue's classification codebook, summed over the residues: the decoder
// makes one small allocation per such entry and residue.
inline constexpr std::uint64_t kMaxResidueClassEntries = std::uint64_t{1} << 14;
// Those entries times their codebook's dimensions, summed the same way: the decoder fills that
// many bytes with two divisions each. The codebook totals do not bound this sum, since up to 64
// residues may share one codebook.
inline constexpr std::uint64_t kMaxResidueClassValues = std::uint64_t{1} << 20;
// Channels times residue partitions in one block: the decoder takes a pointer per partition
// and channel from its area while it decodes a packet.
inline constexpr std::uint64_t kMaxResiduePartitions = 16384;

// Besides the caps, the check refuses what the decoder would handle with undefined behaviour,
// although a build of the decoder without checks often returns a length for it:
// - a 32-bit comment header field whose second or third byte lies past the packet's end: the
//   decoder shifts the -1 it reads there to the left;
// - a vendor or comment length of 2^31 or more: the decoder takes it as negative and writes
//   before its allocation;
// - a Huffman code of 31 bits in a codebook of at most 8 entries kept whole, named by a floor
//   or a residue: the decoder searches such a codebook by building a mask of 31 bits from an
//   int;
// - code lengths that trip the consistency check of the decoder's code builder (an assertion);
// - a lookup table of type 1 whose size the decoder's estimate takes beyond an int, converting
//   a float out of range;
// - a mapping with 16 submaps, the format's most: the decoder keeps them in arrays of 15;
// - a first audio packet that goes on in a page without the continued flag: the decoder reads
//   on after a false end of packet, with its bit buffer marked invalid, and shifts by -1.

enum class OggHeaderVerdict {
  kSafe,                 // the decoder opens the stream, within every cap
  kBadPage,              // the decoder refuses the pages: the first one (capture pattern,
                         // version, flags, one 30-byte packet), or the one where the comment
                         // or the setup header starts when it cannot load it (no capture
                         // pattern, another version, no segments, the end of the file) or, for
                         // the setup header, when it claims to continue a packet
  kHeadersTooLarge,      // the header pages exceed kMaxVorbisHeaderBytes, or the pages up to
                         // the end of the first audio packet kMaxFirstAudioBytes
  kBadIdentification,    // the decoder refuses the identification header: packet type,
                         // "vorbis", version, channels (1..16), rate (> 0), block sizes
                         // (exponents 6..13, short <= long) or framing bit
  kBadCommentHeader,     // the decoder refuses the comment header: an empty first segment, the
                         // packet type, "vorbis", or the framing bit
  kCommentsTooLarge,     // more than kMaxVorbisComments comments, or a vendor or comment string
                         // (in the packet or past its end) of kMaxDecoderAreaBytes or more,
                         // which the decoder's largest area cannot hold
  kBadSetup,             // the decoder refuses the setup header: sync pattern, code lengths no
                         // Huffman code has, lookup type, floor, residue, mapping or mode
                         // fields out of range
  kSetupTooLarge,        // beyond the caps on codebook totals, residue classification entries
                         // and their dimensions, or residue partitions
  kUndefinedInDecoder,   // one of the shapes listed above that the decoder mishandles
};

// Whether `verdict` is the decoder's own refusal: given the file, the decoder returns no
// stream, safely. The other refusals are the caps and the shapes it mishandles.
constexpr bool IsDecoderRefusal(OggHeaderVerdict verdict) {
  return verdict == OggHeaderVerdict::kBadPage || verdict == OggHeaderVerdict::kBadIdentification ||
         verdict == OggHeaderVerdict::kBadCommentHeader || verdict == OggHeaderVerdict::kBadSetup;
}

// Checks the Ogg Vorbis headers read from `source`, starting at offset 0, for a decoder that
// will read the same bytes through stb_vorbis_open_file. Leaves the source's position
// unspecified. kSafe only when the decoder may be given the file. Then, when
// `decoder_area` is given, it receives the bytes of memory area the decoder takes to open the
// stream and decode its first audio packet: its allocations counted as it makes them, with its
// own structures at their x86-64 sizes rounded up, so the area suffices at the first try.
OggHeaderVerdict CheckOggVorbisHeaders(ByteSource& source,
                                       std::uint64_t* decoder_area = nullptr);

// The decoder keeps file offsets below 2 GiB: in a larger file it cannot reach the end, and
// reports a wrong length (0, or that of a page it did not mean to read).
inline constexpr std::uint64_t kMaxOggFileSize = (std::uint64_t{1} << 31) - 1;
// The decoder finds a stream's length by searching the file's last 64 KiB for its last page,
// one byte at a time: every "OggS" there makes it read the up to 64 KiB that page announces
// before it moves on by one byte. The bytes that search may read.
inline constexpr std::uint64_t kMaxLastPageSearchBytes = std::uint64_t{4} << 20;

// Whether the decoder can be asked for the length of the `size`-byte file read from `source`:
// false when the file is larger than kMaxOggFileSize or its last-page search could read more
// than kMaxLastPageSearchBytes (counted as if every "OggS" announced a false page, so real
// files stay far below). Reads at most the last 64 KiB; leaves the position unspecified.
bool CanFindOggLength(ByteSource& source, std::uint64_t size);
