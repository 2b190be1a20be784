#pragma once

#include <cstdint>

// The memory area the Vorbis decoder needs to open a stream and decode its first audio packet,
// counted allocation by allocation from the header fields, in the order the decoder makes them.
// What it keeps is taken from the bottom of the area, each allocation rounded up to 8 bytes;
// temporary blocks are borrowed from the top, alive while everything kept so far is. Needed()
// is the peak of both together: an area of that size lets the decoder open the stream at the
// first try, and real encoder files need at most a few KiB less.
//
// The sizes of the decoder's own structures are those of Debian's stb_vorbis 1.22 (libstb-dev
// 0.0~git20220908, also the header the Windows build compiles) on x86-64, rounded up; a 32-bit
// build's are smaller. A decoder that allocates more than this model counts fails to open with
// an out-of-memory error, and the route retries with twice the area (vorbis_length.cpp).

// Whether the decoder keeps a sparse codebook of `entries`, `present` of them with a code, as a
// sparse one: with fewer than a quarter of its entries present. Otherwise it keeps it whole,
// like a codebook that is not sparse.
constexpr bool StaysSparse(bool sparse, std::uint32_t entries, std::uint64_t present) {
  return sparse && present < entries / 4;
}

class DecoderAreaModel {
 public:
  // For a stream of `channels` channels and the two block sizes, in samples.
  DecoderAreaModel(std::uint32_t channels, std::uint32_t short_block, std::uint32_t long_block)
      : channels_(channels), short_block_(short_block), long_block_(long_block) {}

  // The comment header: the vendor or a comment string of `length` bytes, copied with a
  // terminating zero; the list of `count` comments.
  void CommentString(std::uint32_t length);
  void CommentList(std::uint32_t count);

  // The setup header, part by part. A codebook of `entries` (`sparse` as its header says),
  // `present` of them with a code, `long_codes` of those too long for the decoder's direct
  // lookup; then its lookup table of `lookup_type`, holding `lookup_values` values.
  void Codebooks(std::uint32_t count);
  void Codebook(std::uint32_t entries, bool sparse, std::uint64_t present,
                std::uint64_t long_codes);
  void LookupTable(std::uint32_t lookup_type, std::uint32_t entries, std::uint32_t dimensions,
                   bool stays_sparse, std::uint64_t present, std::uint64_t lookup_values);
  void Floors(std::uint32_t count);
  // A floor of `points` points, its two ends included.
  void Floor(std::uint32_t points);
  void Residues(std::uint32_t count);
  // A residue of `type` over samples [begin, end) in partitions of `partition_size`, with
  // `classifications` classes, classified by a codebook of `book_entries` and
  // `book_dimensions`.
  void Residue(std::uint32_t type, std::uint32_t begin, std::uint32_t end,
               std::uint32_t partition_size, std::uint32_t classifications,
               std::uint32_t book_entries, std::uint32_t book_dimensions);
  void Mappings(std::uint32_t count);
  // After the modes: the decode buffers, the transforms' tables and the decoder itself, then
  // what decoding the first audio packet borrows.
  void StartDecoding();

  // Counts what `later`, a model of the same stream counted from nothing, counted after what
  // this one counted: as if its calls had been made here.
  void Append(const DecoderAreaModel& later);

  // Bytes of area needed so far.
  std::uint64_t Needed() const { return kept_ > peak_ ? kept_ : peak_; }

 private:
  void Keep(std::uint64_t bytes, std::uint64_t times = 1);
  void Borrow(std::uint64_t bytes);

  std::uint32_t channels_;
  std::uint32_t short_block_;
  std::uint32_t long_block_;
  std::uint64_t kept_ = 0;
  std::uint64_t peak_ = 0;
  std::uint32_t longest_floor_ = 0;    // points of the floor with the most
  std::uint32_t most_partitions_ = 0;  // residue partitions of one channel in a packet
};
