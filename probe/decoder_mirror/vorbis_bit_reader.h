#pragma once

#include <cstdint>

#include "probe/decoder_mirror/ogg_packet_reader.h"

// Bits needed to write `value` (the decoder's ilog): 0 for 0. Fields sized by a count take this
// many bits.
inline int BitWidth(std::uint32_t value) {
  int width = 0;
  for (; value != 0; value >>= 1) ++width;
  return width;
}

// The Vorbis decoder's reading of a packet as bits (get_bits): values of up to 32 bits, least
// significant bit first, and 0 from the packet's end on. The decoder drops the bits it holds
// whenever a packet starts or a byte is read whole, so a reader is made where one of those
// happened, and no byte is read whole while it is in use.
class VorbisBitReader {
 public:
  explicit VorbisBitReader(OggPacketReader& packet) : packet_(packet) {}

  // The next `count` bits (0..32).
  std::uint32_t Get(int count);

 private:
  OggPacketReader& packet_;
  std::uint32_t bits_ = 0;
  int available_ = 0;  // bits held in bits_; -1 from the packet's end on
};
