#include "probe/content_kind.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/crafted_files.h"

namespace {

using namespace std::string_literals;

// An Ogg page of one segment holding the start of `packet`.
std::string OggPage(const std::string& packet) {
  return "OggS" + std::string(22, '\0') + '\x01' + static_cast<char>(packet.size()) + packet;
}

// An ID3v2 tag of `size` bytes after its header (a 7-bit size), a footer when `footer`.
std::string Id3(int size, bool footer = false) {
  return "ID3\x04\x00"s + static_cast<char>(footer ? 0x10 : 0) + '\x00' +
         static_cast<char>(size >> 14) + static_cast<char>((size >> 7) & 0x7F) +
         static_cast<char>(size & 0x7F) + std::string(size + (footer ? 10 : 0), 'x');
}

TEST(ContentKindTest, NamesFormatsByTheirFirstBytes) {
  const std::string vorbis = "\x01vorbis" + std::string(23, '\0');
  const struct {
    std::string bytes;
    ContentKind kind;
    std::u16string_view format = {};
  } cases[] = {
      {"", ContentKind::kEmpty},
      {Riff(Chunk("data", "")), ContentKind::kWave},
      {ChunkHeader("RIFF", 4) + "AVI ", ContentKind::kUnknown},
      {OggPage(vorbis), ContentKind::kOggVorbis},
      {OggPage(vorbis).substr(0, 30), ContentKind::kOggVorbis},  // cut short: the check decides
      {OggPage("OpusHead\x01\x02"), ContentKind::kOtherAudio, u"Opus in Ogg"},
      {OggPage("Speex   1.2"), ContentKind::kOtherAudio, u"Speex in Ogg"},
      {OggPage("\x7F" "FLAC\x01\x00"), ContentKind::kOtherAudio, u"FLAC in Ogg"},
      {OggPage("\x80theora\x03"), ContentKind::kOtherAudio, u"Ogg without Vorbis audio"},
      {"fLaC\0\0\0\x22"s, ContentKind::kOtherAudio, u"FLAC"},
      {"FORM\0\0\0\0AIFC"s, ContentKind::kOtherAudio, u"AIFF"},
      {"FORM\0\0\0\0" "8SVX"s, ContentKind::kUnknown},
      {"\0\0\0\x1c" "ftypM4A "s, ContentKind::kOtherAudio, u"MP4 or M4A"},
      {"\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9", ContentKind::kUnknown},  // half a GUID
      {"\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s,
       ContentKind::kOtherAudio, u"WMA (ASF)"},
      {"RF64\xFF\xFF\xFF\xFFWAVE", ContentKind::kOtherAudio, u"RF64 (large-file WAVE)"},
      {"riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00"s,
       ContentKind::kOtherAudio, u"Wave64"},
      {"\xFF\xFB\x90\x64", ContentKind::kOtherAudio, u"MP3"},  // MPEG-1 layer III
      {"\xFF\xF3\x90\x64", ContentKind::kOtherAudio, u"MP3"},  // MPEG-2 layer III
      {"\xFF\xFD\xE0\x04", ContentKind::kOtherAudio, u"MPEG audio (MP1 or MP2)"},
      {"\xFF\xF1\x50\x80", ContentKind::kOtherAudio, u"AAC"},
      {"\xFF\xEB\x90\x64", ContentKind::kUnknown},  // the reserved version
      {Id3(300) + "fLaC", ContentKind::kOtherAudio, u"FLAC"},
      {Id3(200, true) + "fLaC", ContentKind::kOtherAudio, u"FLAC"},  // past a footer
      {Id3(20000) + "not audio", ContentKind::kOtherAudio, u"MP3"},
      {"not audio at all", ContentKind::kUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.substr(0, 12));
    MemoryByteSource source(c.bytes.data(), c.bytes.size());
    const SniffedContent content = SniffContent(source);
    EXPECT_EQ(c.kind, content.kind);
    EXPECT_EQ(c.format, content.format);
  }
}

}  // namespace
