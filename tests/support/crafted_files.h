#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Crafted audio files built field by field as bytes: RIFF/WAVE chunks, Ogg pages and Vorbis
// header packets. The probe's unit tables build with these in memory; make_test_file writes
// them for the end-to-end cases, the fuzz replay and the benchmarks.

// `value` as `bytes` (up to 8) little-endian bytes.
std::string Le(std::uint64_t value, int bytes);
// The `size`-byte (up to 8) little-endian value at `at` in `bytes`: std::out_of_range past
// their end.
std::uint64_t LeAt(std::string_view bytes, std::size_t at, int size);

// A chunk header declaring `size`, whatever follows it.
std::string ChunkHeader(std::string_view id, std::uint32_t size);
// A well-formed chunk: header, body and the pad byte an odd size needs.
std::string Chunk(std::string_view id, std::string_view body);
// The 16 bytes of a format record; block alignment and bytes per second follow from the rest.
std::string FormatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                       std::uint16_t bits);
// A RIFF/WAVE file of `children` whose RIFF chunk declares `size`, or its true size.
std::string RiffSized(std::uint32_t size, std::string_view children);
std::string Riff(std::string_view children);

// Bits packed least significant first, as Vorbis packs them; calls chain: put(a, 8)(b, 16).
class BitWriter {
 public:
  // The low `count` bits of `value`, and 0 for any bit beyond its 64.
  BitWriter& operator()(std::uint64_t value, std::uint64_t count);
  // The bits so far, the last byte filled up with 0.
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
  std::uint64_t used_ = 0;
};

// A Vorbis identification packet: version 0, no bitrates, framing bit set.
std::string IdentificationPacket(std::uint8_t channels, std::uint32_t rate, int short_exponent,
                                 int long_exponent);
// A comment packet: vendor, comments, framing bit.
std::string CommentPacket(std::string_view vendor, const std::vector<std::string>& comments);

// A codebook. Its codes are all `code_length` bits long, written as one ordered run, unless
// `lengths` gives one per entry (0 for an entry without a code, in a sparse codebook), written
// entry by entry. Its lookup table holds `lookup_values` values of 1 bit.
struct CodebookShape {
  std::uint32_t dimensions = 1, entries = 2, code_length = 16;
  std::uint32_t lookup_type = 0, lookup_values = 0;
  std::vector<std::uint8_t> lengths = {};
  bool sparse = false;
};

// A setup header: `floors` floors of partitions of one class (`floor_x` their points after the
// two ends, `floor_class_dimensions` per partition) using no codebook; `residues` residues
// classified by codebook 0; `mappings` mappings of `submaps` submaps over floor and residue 0;
// `modes` modes, the i-th with block flag i & 1 and mapping i.
struct SetupShape {
  std::vector<CodebookShape> books = {CodebookShape{}};
  std::uint32_t floors = 1, floor_type = 1, floor_class_dimensions = 1, floor_range_bits = 4;
  std::vector<std::uint32_t> floor_x;
  std::uint32_t residues = 1, residue_type = 0, residue_end = 4096, partition_size = 32;
  std::uint32_t classifications = 1, mappings = 1, submaps = 1, modes = 1;
};

void WriteCodebook(BitWriter& put, const CodebookShape& book);
// The setup packet for a stream of `channels` channels.
std::string SetupPacket(const SetupShape& setup, std::uint32_t channels);

// An Ogg page, with the checksum its bytes get.
struct CraftedPage {
  std::uint8_t flags = 0;
  std::uint64_t granule = 0;
  std::uint32_t serial = 7, sequence = 0;
  std::string lacing, body;

  std::string Bytes() const;
  std::size_t size() const { return 27 + lacing.size() + body.size(); }
};

// The pages of `file` up to the first that is not one whole.
std::vector<CraftedPage> ParsePages(std::string_view file);
std::string JoinPages(const std::vector<CraftedPage>& pages);
// `packets` laced into pages of at most 255 segments, numbered from `sequence`. A page ends
// when full, after each packet whose index is in `page_ends`, and after the last packet. The
// first page begins the stream when `first`. A page whose last segment goes on in the next
// page continues into it and has granule position -1; the others have 0.
std::vector<CraftedPage> LacePackets(const std::vector<std::string>& packets,
                                     const std::vector<std::size_t>& page_ends,
                                     std::uint32_t serial = 7, std::uint32_t sequence = 0,
                                     bool first = true);
// The headers `identification` and `comment`, then a setup header of 64 mappings and modes that
// a page not marked as going on cuts in its mappings: the decoder's walk reads zeros past that
// false end and completes it, then reads on into that page, through the setup's rest, to a
// first audio packet that goes on into a page not marked so either.
std::vector<CraftedPage> SetupCutUnflagged(const std::string& identification,
                                           const std::string& comment);
// An Ogg Vorbis file taken apart: its pages, its header packets (the first three, fewer when the
// pages end first) and the index of the page after them.
struct OggParts {
  explicit OggParts(std::string_view file);
  // `headers` laced afresh (LacePackets, ending pages after `page_ends`), then the audio pages,
  // renumbered.
  std::vector<CraftedPage> With(const std::vector<std::string>& headers,
                                const std::vector<std::size_t>& page_ends = {0}) const;

  std::vector<CraftedPage> pages;
  std::vector<std::string> headers;
  std::size_t audio = 0;
};
