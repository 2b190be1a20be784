#pragma once

#include <cstdint>

#include "probe/byte_source.h"

// A portable gate in front of the Ogg Vorbis decoder. It reads the Ogg pages that carry the
// three Vorbis header packets (identification, comment, setup), reassembles the packets the
// way the decoder does (pages in file order, lacing values joined across pages) and decides
// whether the decoder can be given the file without risk: the decoder trusts the lengths and
// counts in these headers, so malformed ones make it write past buffers, free pointers it never
// set, or allocate gigabytes and spend minutes. It then follows the pages the decoder reads
// while it opens, up to the end of the first audio packet, without decoding anything.
// Memory use is a page buffer (64 KiB), whatever the file says.
//
// Every file a real encoder writes passes. The caps below sit far above what encoders write
// (libvorbis, its ffmpeg and sox front ends and ffmpeg's own encoder: at most 49 codebooks of
// at most 6561 entries and 8 dimensions, 19 413 entries and 87 952 entry dimensions in all,
// residues classified by at most 100 entries) and keep the decoder's set-up work to a few
// hundredths of a second and its memory to a few tens of MiB.

// The largest memory area the decoder is given: the one bound on the memory it takes.
inline constexpr std::uint64_t kMaxDecoderAreaBytes = std::uint64_t{64} << 20;
// Bytes of the three header packets together, page headers included. The decoder copies the
// comment header into its area, so larger headers could not be held (cover art of about 47 MiB,
// 63 MiB as base64, still fits); it also reads every header byte one at a time.
inline constexpr std::uint64_t kMaxVorbisHeaderBytes = kMaxDecoderAreaBytes;
// Comments in the comment header (real files carry a few dozen): the decoder makes one
// allocation and keeps one pointer per comment.
inline constexpr std::uint32_t kMaxVorbisComments = 65536;
// Bytes of the pages after the header packets up to the end of the first audio packet (real
// files: one page of a few KiB), which the decoder reads byte by byte while it opens.
inline constexpr std::uint64_t kMaxFirstAudioBytes = std::uint64_t{1} << 20;
// Codebooks in the setup header (the format allows 256).
inline constexpr std::uint32_t kMaxVorbisCodebooks = 128;
// Entries of one codebook (the format allows 2^24).
inline constexpr std::uint32_t kMaxCodebookEntries = 65536;
// Dimensions of one codebook (the format allows 65535).
inline constexpr std::uint32_t kMaxCodebookDimensions = 64;
// Entries times dimensions for one codebook: the decoder expands every entry into that many
// floats, and computes the count in a 32-bit int.
inline constexpr std::uint64_t kMaxCodebookValues = std::uint64_t{1} << 20;
// Bits of one Huffman codeword (the format allows 32; encoders write at most about 24): the
// decoder builds a mask of that many bits by shifting an int.
inline constexpr std::uint32_t kMaxCodewordLength = 30;
// Entries and entries times dimensions, summed over all codebooks.
inline constexpr std::uint64_t kMaxTotalCodebookEntries = std::uint64_t{1} << 18;
inline constexpr std::uint64_t kMaxTotalCodebookValues = std::uint64_t{1} << 20;
// Entries of each residue's classification codebook, summed over the residues: the decoder
// makes one small allocation per such entry and residue.
inline constexpr std::uint64_t kMaxResidueClassEntries = std::uint64_t{1} << 14;
// Channels times residue partitions in one block: the decoder takes a pointer per partition
// and channel from the stack while it decodes a packet.
inline constexpr std::uint64_t kMaxResiduePartitions = 16384;

enum class OggHeaderVerdict {
  kSafe,                 // all three headers are well-formed and within the caps
  kBadPage,              // no capture pattern, wrong version, flags, serial number or
                         // continuation, empty segment table, or a page cut short by the end
                         // of the file; after the headers, only an empty segment table or
                         // no page where a packet before the first audio packet goes on
  kHeadersTooLarge,      // the header pages exceed kMaxVorbisHeaderBytes, or the pages up to
                         // the end of the first audio packet kMaxFirstAudioBytes
  kBadIdentification,    // packet type, "vorbis", version, channels (1..16), rate (> 0),
                         // block sizes (exponents 6..13, short <= long) or framing bit
  kBadVendorLength,      // the vendor string runs past the end of the comment packet
  kBadCommentCount,      // the comment count promises more comments than the packet holds,
                         // or more than kMaxVorbisComments
  kBadCommentLength,     // a comment runs past the end of the comment packet
  kBadCommentHeader,     // not a comment header (packet type, "vorbis"), or its framing bit
                         // is missing
  kBadSetup,             // malformed setup header: sync pattern, code lengths (above
                         // kMaxCodewordLength, or no Huffman code has them), lookup type,
                         // floor, residue, mapping or mode fields the decoder refuses, or a
                         // field past the end of the packet
  kCodebookTooLarge,     // one codebook beyond the per-codebook caps (entries, dimensions,
                         // their product, or a lookup table whose size overflows an int)
  kSetupTooLarge,        // beyond the caps on codebook count, totals, residue classification
                         // entries or residue partitions
};

// Checks the Ogg Vorbis headers read from `source`, starting at offset 0. Leaves the source's
// position unspecified. kSafe only when the decoder may be given the file. Then, when
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
