#include "probe/content_kind.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// Enough for an Ogg page header with its longest segment table and the first packet's start.
constexpr std::size_t kSniffBytes = 512;

// The GUIDs that open ASF (WMA) and Wave64 files, as stored.
constexpr std::string_view kAsfGuid{
    "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16};
constexpr std::string_view kWave64Guid{"riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 16};

struct Bytes {
  const std::uint8_t* data;
  std::size_t size;

  bool Has(std::size_t offset, std::string_view signature) const {
    return size >= offset + signature.size() &&
           std::memcmp(data + offset, signature.data(), signature.size()) == 0;
  }
};

SniffedContent Other(std::u16string_view format) { return {ContentKind::kOtherAudio, format}; }

// Ogg: the codec is named by the first packet, which starts after the page's segment table.
SniffedContent OggContent(const Bytes& bytes) {
  constexpr std::size_t kPageHeaderBytes = 27;
  if (bytes.size <= kPageHeaderBytes) return {ContentKind::kOggVorbis, {}};
  const std::size_t packet = kPageHeaderBytes + bytes.data[kPageHeaderBytes - 1];
  if (bytes.Has(packet, "OpusHead")) return Other(u"Opus in Ogg");
  if (bytes.Has(packet, "Speex   ")) return Other(u"Speex in Ogg");
  if (bytes.Has(packet, "\x7F" "FLAC")) return Other(u"FLAC in Ogg");
  // Any other identification header begins with a byte and the codec's name: Theora video,
  // say. Vorbis' own, or a page too damaged to show one, is for the header check.
  if (bytes.Has(packet, "\x01vorbis") || bytes.size < packet + 7) {
    return {ContentKind::kOggVorbis, {}};
  }
  return Other(u"Ogg without Vorbis audio");
}

// The formats known by their first bytes; kUnknown when none matches.
SniffedContent ContentOf(const Bytes& bytes) {
  if (bytes.size == 0) return {ContentKind::kEmpty, {}};
  if (bytes.Has(0, "RIFF") && bytes.Has(8, "WAVE")) return {ContentKind::kWave, {}};
  if (bytes.Has(0, "OggS")) return OggContent(bytes);
  if (bytes.Has(0, "RF64") || bytes.Has(0, "BW64")) return Other(u"RF64 (large-file WAVE)");
  if (bytes.Has(0, kWave64Guid)) return Other(u"Wave64");
  if (bytes.Has(0, "fLaC")) return Other(u"FLAC");
  if (bytes.Has(0, "FORM") && (bytes.Has(8, "AIFF") || bytes.Has(8, "AIFC"))) return Other(u"AIFF");
  if (bytes.Has(4, "ftyp")) return Other(u"MP4 or M4A");
  if (bytes.Has(0, kAsfGuid)) return Other(u"WMA (ASF)");
  // MPEG audio frames start with 11 set bits; then the version (01 is reserved) and the
  // layer (00 marks AAC's ADTS frames, whose version bits are 1x).
  if (bytes.size >= 2 && bytes.data[0] == 0xFF && (bytes.data[1] & 0xE0) == 0xE0) {
    const int version = (bytes.data[1] >> 3) & 3;
    const int layer = (bytes.data[1] >> 1) & 3;
    if (layer == 0 && version >= 2) return Other(u"AAC");
    if (layer == 1 && version != 1) return Other(u"MP3");
    if (layer != 0 && version != 1) return Other(u"MPEG audio (MP1 or MP2)");
  }
  return {ContentKind::kUnknown, {}};
}

std::size_t ReadAt(ByteSource& source, std::uint64_t offset, std::uint8_t* buffer) {
  return source.Seek(offset) ? source.Read(buffer, kSniffBytes) : 0;
}

}  // namespace

SniffedContent SniffContent(ByteSource& source) {
  std::uint8_t buffer[kSniffBytes];
  const Bytes start{buffer, ReadAt(source, 0, buffer)};
  // An ID3v2 tag: "ID3", version, flags, then its size in four 7-bit bytes, a footer of 10
  // more bytes when flagged. The audio follows; a tag with nothing known after it is an MP3's.
  if (!start.Has(0, "ID3") || start.size < 10) return ContentOf(start);
  std::uint64_t tag_size = 0;
  for (int i = 6; i < 10; ++i) tag_size = tag_size * 128 + (buffer[i] & 0x7F);
  const std::uint64_t audio = 10 + tag_size + ((buffer[5] & 0x10) != 0 ? 10 : 0);
  const Bytes after{buffer, ReadAt(source, audio, buffer)};
  const SniffedContent content = ContentOf(after);
  return content.kind == ContentKind::kOtherAudio ? content : Other(u"MP3");
}
