#include "probe/decoder_mirror/ogg_page.h"

std::uint64_t OggPageHeader::size() const {
  std::uint64_t size = kOggPageHeaderSize + segment_count;
  for (int i = 0; i < segment_count; ++i) size += lacing[i];
  return size;
}

OggPageRead ReadOggPageHeader(OggPageInput& in, OggPageHeader* header) {
  *header = OggPageHeader{};
  // Byte by byte, as the decoder stops at the first one that differs.
  for (const char letter : {'O', 'g', 'g', 'S'}) {
    if (in.Get8() != static_cast<std::uint8_t>(letter)) return OggPageRead::kNoCapture;
  }
  if (in.Get8() != 0) return OggPageRead::kOtherVersion;
  header->flags = in.Get8();
  // Granule position, serial and sequence numbers, checksum: the decoder compares none of them
  // while it opens a stream.
  for (int i = 0; i < 20; ++i) in.Get8();
  header->segment_count = in.Get8();
  return in.GetN(header->lacing.data(), header->segment_count) ? OggPageRead::kPage
                                                                : OggPageRead::kShort;
}
