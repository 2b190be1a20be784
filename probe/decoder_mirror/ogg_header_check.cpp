#include "probe/decoder_mirror/ogg_header_check.h"

#include <cstring>
#include <memory>
#include <new>

#include "probe/decoder_mirror/decoder_area_model.h"
#include "probe/decoder_mirror/ogg_packet_reader.h"
#include "probe/decoder_mirror/vorbis_bit_reader.h"
#include "probe/decoder_mirror/vorbis_setup_check.h"
#include "probe/decoder_mirror/vorbis_setup_memo.h"
#include "probe/little_endian.h"

namespace {

constexpr std::uint8_t kIdentificationSize = 30;
constexpr std::uint64_t kIntMax = 0x7FFFFFFF;

// The first page must begin the stream and hold the 30-byte identification packet alone; the
// decoder reads that packet straight from the file.
OggHeaderVerdict CheckIdentification(OggPacketReader& reader, VorbisIdentification* fields) {
  if (!reader.StartPage()) return OggHeaderVerdict::kBadPage;
  const OggPageHeader& page = reader.page();
  if ((page.flags & kOggFirstPage) == 0 ||
      (page.flags & (kOggLastPage | kOggContinuedPacket)) != 0 || page.segment_count != 1 ||
      page.lacing[0] != kIdentificationSize) {
    return OggHeaderVerdict::kBadPage;
  }
  std::uint8_t bytes[kIdentificationSize];
  bytes[0] = reader.Get8();
  if (!reader.GetN(bytes + 1, 6)) return OggHeaderVerdict::kBadIdentification;
  for (std::size_t i = 7; i < sizeof bytes; ++i) bytes[i] = reader.Get8();
  const std::uint32_t version = LoadLe32(bytes + 7);
  const std::uint32_t channels = bytes[11];
  const std::uint32_t rate = LoadLe32(bytes + 12);
  const int short_exponent = bytes[28] & 15;
  const int long_exponent = bytes[28] >> 4;
  const bool framed = (bytes[29] & 1) != 0;
  if (bytes[0] != 1 || std::memcmp(bytes + 1, "vorbis", 6) != 0 || version != 0 ||
      channels < 1 || channels > 16 || rate == 0 || short_exponent < 6 || long_exponent > 13 ||
      short_exponent > long_exponent || !framed) {
    return OggHeaderVerdict::kBadIdentification;
  }
  fields->channels = channels;
  fields->short_block = std::uint32_t{1} << short_exponent;
  fields->long_block = std::uint32_t{1} << long_exponent;
  return OggHeaderVerdict::kSafe;
}

// A vendor or comment string of `length` bytes (as the decoder read the field): it allocates one
// more byte and reads them, past the packet's end as the end-of-packet value -1. The string is
// walked, never stored, so a length near 2^32 costs no memory, and at most one pass over the
// packet's real bytes.
OggHeaderVerdict CheckString(OggPacketReader& reader, DecoderAreaModel* area,
                             std::uint32_t length) {
  // As an int, negative: the decoder writes before its allocation.
  if (length > kIntMax) return OggHeaderVerdict::kUndefinedInDecoder;
  if (length >= kMaxDecoderAreaBytes) return OggHeaderVerdict::kCommentsTooLarge;
  area->CommentString(length);
  reader.DropPacketBytes(length);
  return OggHeaderVerdict::kSafe;
}

// The comment header starts on the page after the identification page, whatever that page's
// flags say: the decoder does not look at them there.
OggHeaderVerdict CheckComment(OggPacketReader& reader, DecoderAreaModel* area) {
  if (!reader.StartPage() || !reader.StartPacket()) return OggHeaderVerdict::kBadPage;
  if (reader.NextSegment() == 0) return OggHeaderVerdict::kBadCommentHeader;
  if (reader.Get8Packet() != 3) return OggHeaderVerdict::kBadCommentHeader;
  for (const char letter : {'v', 'o', 'r', 'b', 'i', 's'}) {
    if (reader.Get8Packet() != letter) return OggHeaderVerdict::kBadCommentHeader;
  }
  bool undefined = false;
  const auto string = [&]() {
    const std::uint32_t length = reader.Get32Packet(&undefined);
    return undefined ? OggHeaderVerdict::kUndefinedInDecoder : CheckString(reader, area, length);
  };
  OggHeaderVerdict verdict = string();
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  const std::uint32_t count = reader.Get32Packet(&undefined);
  if (undefined) return OggHeaderVerdict::kUndefinedInDecoder;
  // As an int, a negative count means no comments.
  if (count <= kIntMax) {
    if (count > kMaxVorbisComments) return OggHeaderVerdict::kCommentsTooLarge;
    area->CommentList(count);
    for (std::uint32_t i = 0; i < count && verdict == OggHeaderVerdict::kSafe; ++i) {
      verdict = string();
    }
    if (verdict != OggHeaderVerdict::kSafe) return verdict;
  }
  // The framing byte, read as a byte: the end of packet (-1) has its low bit set.
  if ((static_cast<std::uint8_t>(reader.Get8Packet()) & 1) == 0) {
    return OggHeaderVerdict::kBadCommentHeader;
  }
  reader.SkipPacketBySeeking();
  return OggHeaderVerdict::kSafe;
}

// After the setup packet: the decoder decodes its first audio packet while it opens, skipping
// other packets (type bit 1) before it. It stops at the end of the file, at a page it cannot
// load or that claims to continue a packet where a new one starts; the first audio packet it
// reads to its end.
//
// Where a page does not load here the answer is kSafe, the opposite of the header pages'
// kBadPage, on purpose: the decoder ignores whether decoding that first packet worked
// (stb_vorbis_open_file_section drops the result of vorbis_pump_first_frame), so it still
// opens the stream. Only its reading up to there matters, for the cap and the false end.
OggHeaderVerdict WalkToFirstAudioPacket(OggPacketReader& reader) {
  for (;;) {
    if (reader.eof() || !reader.StartPacket()) return OggHeaderVerdict::kSafe;
    if (VorbisBitReader(reader).Get(1) == 0) break;
    reader.FlushPacket();
  }
  reader.FlushPacket();
  return reader.false_end() ? OggHeaderVerdict::kUndefinedInDecoder : OggHeaderVerdict::kSafe;
}

OggHeaderVerdict CheckHeaders(OggPacketReader& reader, std::uint64_t* decoder_area,
                              VorbisSetupMemo* memo, OggPacketReader::Place* after_setup) {
  reader.CountPages(kMaxVorbisHeaderBytes);
  VorbisIdentification identification;
  OggHeaderVerdict verdict = CheckIdentification(reader, &identification);
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  DecoderAreaModel area(identification.channels, identification.short_block,
                        identification.long_block);
  verdict = CheckComment(reader, &area);
  // The decoder reads the rest of the setup packet byte by byte: the pages it spans count too.
  if (verdict == OggHeaderVerdict::kSafe) {
    verdict = CheckVorbisSetupRemembered(reader, identification, &area, memo);
  }
  // A page past the cap stopped the reading: what followed was not the decoder's.
  if (reader.over_cap()) return OggHeaderVerdict::kHeadersTooLarge;
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  if (after_setup != nullptr) *after_setup = reader.Here();
  reader.CountPages(kMaxFirstAudioBytes);
  verdict = WalkToFirstAudioPacket(reader);
  if (reader.over_cap()) return OggHeaderVerdict::kHeadersTooLarge;
  *decoder_area = area.Needed();
  return verdict;
}

}  // namespace

OggHeaderVerdict CheckOggVorbisHeaders(ByteSource& source, std::uint64_t* decoder_area,
                                       VorbisSetupMemo* memo,
                                       OggPacketReader::Place* after_setup) {
  if (!source.Seek(0)) return OggHeaderVerdict::kBadPage;
  // The reader's 64 KiB buffer is kept off the stack of a Windows main thread. Short of
  // memory, the file is simply not given to the decoder.
  std::unique_ptr<OggPacketReader> reader(new (std::nothrow) OggPacketReader(source));
  if (reader == nullptr) return OggHeaderVerdict::kHeadersTooLarge;
  return CheckHeaders(*reader, decoder_area, memo, after_setup);
}
