#pragma once

#include <cstdint>

// The caps of the Ogg Vorbis route, each with its reason: the one place they are stated. A file
// beyond a cap is never given to the decoder and lists as n/a.
//
// Every file a real encoder writes stays within them. Encoders (libvorbis, its ffmpeg and sox
// front ends and ffmpeg's own encoder) write at most 49 codebooks of at most 6561 entries and 8
// dimensions, 19 413 entries and 87 952 entry dimensions in all, and residues classified by at
// most 100 entries. The caps keep the decoder's set-up work to a few hundredths of a second and
// its memory to a few tens of MiB.

// The largest memory area the decoder is given: the one bound on the memory it takes.
inline constexpr std::uint64_t kMaxDecoderAreaBytes = std::uint64_t{64} << 20;

// Bytes of the pages the decoder loads for the three header packets, page headers included.
// The decoder copies the comment header into its area, so larger headers could not be held
// (cover art of about 47 MiB, 63 MiB as base64, still fits); it also reads every header byte
// one at a time.
inline constexpr std::uint64_t kMaxVorbisHeaderBytes = kMaxDecoderAreaBytes;

// Comments in the comment header (real files carry a few dozen): the decoder makes one
// allocation and keeps one pointer per comment, and sizes their list in an int. Each vendor or
// comment string must also stay below kMaxDecoderAreaBytes, which is all the area holds.
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

// The decoder keeps file offsets below 2 GiB: in a larger file it cannot reach the end, and
// reports a wrong length (0, or that of a page it did not mean to read).
inline constexpr std::uint64_t kMaxOggFileSize = (std::uint64_t{1} << 31) - 1;

// The bytes the decoder's search for the last page may read. It searches the file's last
// 64 KiB one byte at a time, and every "OggS" there makes it read the page that follows (up to
// 65 307 bytes) before it moves on by one byte: false page starts would take it seconds.
inline constexpr std::uint64_t kMaxLastPageSearchBytes = std::uint64_t{4} << 20;
