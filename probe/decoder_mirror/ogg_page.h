#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Ogg page framing as the Vorbis decoder reads it: a 27-byte header ("OggS", version, flags,
// granule position, serial and sequence numbers, checksum, segment count), one lacing value
// per segment, then the segments' bytes. A packet is the segments up to one shorter than 255
// bytes, across pages.

inline constexpr std::uint8_t kOggContinuedPacket = 1;  // the page goes on with a packet
inline constexpr std::uint8_t kOggFirstPage = 2;
inline constexpr std::uint8_t kOggLastPage = 4;
inline constexpr std::size_t kOggPageHeaderSize = 27;
// The largest page: a header, 255 lacing values and 255 segments of 255 bytes (65 307 bytes).
inline constexpr std::size_t kMaxOggPageSize = kOggPageHeaderSize + 255 + 255 * 255;

// What a page header is read from, in the decoder's two ways of reading it.
class OggPageInput {
 public:
  // The next byte, or 0 at the end of the data (the decoder's get8).
  virtual std::uint8_t Get8() = 0;
  // The next `size` bytes into `out` as one block (the decoder's getn, one fread item): false
  // when fewer remain, or when none are asked for. What could be read is stored either way.
  virtual bool GetN(std::uint8_t* out, std::size_t size) = 0;

 protected:
  ~OggPageInput() = default;
};

struct OggPageHeader {
  std::uint8_t flags = 0;
  std::uint8_t segment_count = 0;
  std::array<std::uint8_t, 255> lacing{};  // 0 beyond the values that could be read

  // Header, lacing values and the segments they announce, in bytes.
  std::uint64_t size() const;
};

enum class OggPageRead {
  kPage,          // a whole header with its lacing values
  kNoCapture,     // no "OggS": reading stopped at the first byte that differs
  kOtherVersion,  // a version other than 0: reading stopped after it
  kShort,         // lacing values missing at the end of the data, or no segments at all
};

// Reads one page header from `in` as the decoder does (start_page): the capture pattern, then
// the version, then the rest, the 20 bytes of granule position, serial and sequence numbers
// and checksum read and dropped, then the lacing values. `*header` holds what was read; its
// size() counts only the lacing values that could be read.
OggPageRead ReadOggPageHeader(OggPageInput& in, OggPageHeader* header);
