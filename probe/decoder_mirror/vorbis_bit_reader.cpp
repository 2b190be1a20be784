#include "probe/decoder_mirror/vorbis_bit_reader.h"

std::uint32_t VorbisBitReader::Get(int count) {
  if (available_ < 0) return 0;
  if (available_ < count) {
    // The decoder holds at most 32 bits: a wider read is two.
    if (count > 24) {
      const std::uint32_t low = Get(24);
      return low + (Get(count - 24) << 24);
    }
    if (available_ == 0) bits_ = 0;
    while (available_ < count) {
      const int byte = packet_.Get8Packet();
      if (byte == OggPacketReader::kEndOfPacket) {
        available_ = -1;
        return 0;
      }
      bits_ += static_cast<std::uint32_t>(byte) << available_;
      available_ += 8;
    }
  }
  const std::uint32_t value = bits_ & ((std::uint64_t{1} << count) - 1);
  bits_ = count == 32 ? 0 : bits_ >> count;
  available_ -= count;
  return value;
}
