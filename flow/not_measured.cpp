#include "flow/not_measured.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "console/report.h"
#include "platform/file_io.h"
#include "platform/paths.h"
#include "probe/byte_source.h"
#include "probe/content_kind.h"
#include "probe/little_endian.h"
#include "probe/decoder_mirror/ogg_caps.h"
#include "probe/decoder_mirror/ogg_header_check.h"
#include "probe/decoder_mirror/ogg_length_guard.h"
#include "probe/wave_reader.h"

namespace {

// Counts and sizes as the caps are stated to users, from the constants themselves.
std::u16string Count(std::uint64_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}
std::u16string Mebibytes(std::uint64_t bytes) { return Count(bytes >> 20) + u" MiB"; }

constexpr char16_t kExportAgain[] = u"; export it again";
constexpr char16_t kEncodeAgain[] = u"; encode it again";
// Neither check refuses it now: it changed since, or the decoder or the memory failed.
constexpr char16_t kUnexplained[] =
    u"not measured, though its headers look sound (it may have changed, or memory ran short); "
    u"try again, or encode it again";

std::u16string WaveReason(FileByteSource& file) {
  WaveReader reader;
  if (reader.Open(file)) {
    if (reader.format().average_bytes_per_second != 0) return kUnexplained;
    return u"a WAVE file whose fmt chunk gives 0 bytes a second" + std::u16string(kExportAgain);
  }
  switch (reader.problem()) {
    case WaveProblem::kNoFormatChunk:
      return u"a WAVE file without a fmt chunk" + std::u16string(kExportAgain);
    case WaveProblem::kBadFormatChunk:
      return u"a WAVE file whose fmt chunk is short or cut off" + std::u16string(kExportAgain);
    case WaveProblem::kNoDataChunk:
      return u"a WAVE file without a data chunk" + std::u16string(kExportAgain);
    case WaveProblem::kTooManyChunks:
      return u"a WAVE file with more than " + Count(kMaxWaveChunkHeaders) +
             u" chunks before its fmt or data chunk" + kExportAgain;
    case WaveProblem::kNotRiffWave:
    case WaveProblem::kNone:
      break;
  }
  return kUnexplained;
}

// Whether the last page in the `size`-byte file's last 64 KiB that ends a packet (its granule
// position is not -1) declares more frames than the decoder can count: that page is the one
// its length search settles on.
bool BeyondFrameCount(FileByteSource& file, std::uint64_t size) {
  constexpr std::size_t kPageStart = 14;  // "OggS", version, flags, granule position
  std::vector<std::uint8_t> tail(static_cast<std::size_t>(std::min<std::uint64_t>(size, 65536)));
  if (!file.Seek(size - tail.size()) || file.Read(tail.data(), tail.size()) != tail.size()) {
    return false;
  }
  for (std::size_t at = tail.size(); at >= kPageStart; --at) {
    const std::uint8_t* page = tail.data() + at - kPageStart;
    if (std::memcmp(page, "OggS", 5) != 0) continue;  // with version 0
    const std::uint64_t granule = LoadLe32(page + 6) | std::uint64_t{LoadLe32(page + 10)} << 32;
    if (granule != ~std::uint64_t{0}) return granule >= kDecoderSaturatedFrames;
  }
  return false;
}

std::u16string OggReason(FileByteSource& file) {
  std::uint64_t area = 0;
  const OggHeaderVerdict verdict = CheckOggVorbisHeaders(file, &area);
  if (IsDecoderRefusal(verdict)) {
    return u"an Ogg Vorbis file whose headers are damaged or cut off" +
           std::u16string(kEncodeAgain);
  }
  switch (verdict) {
    case OggHeaderVerdict::kHeadersTooLarge:
      return u"an Ogg Vorbis file with more than " + Mebibytes(kMaxVorbisHeaderBytes) +
             u" of headers, or more than " + Mebibytes(kMaxFirstAudioBytes) +
             u" of pages before its first audio; remove embedded pictures, or encode it again";
    case OggHeaderVerdict::kCommentsTooLarge:
      return u"an Ogg Vorbis file with more than " + Count(kMaxVorbisComments) +
             u" comments, or a comment of " + Mebibytes(kMaxDecoderAreaBytes) +
             u" or more; remove tags or embedded pictures";
    case OggHeaderVerdict::kSetupTooLarge:
      return u"an Ogg Vorbis file whose codebooks or residues go beyond what any encoder writes" +
             std::u16string(kEncodeAgain);
    case OggHeaderVerdict::kUndefinedInDecoder:
      return u"an Ogg Vorbis file with a header field the decoder would mishandle" +
             std::u16string(kEncodeAgain);
    default:
      break;
  }
  std::uint64_t size = 0;
  if (file.Size(&size) && !CanFindOggLength(file, size)) {
    if (size > kMaxOggFileSize) {
      return u"an Ogg Vorbis file of " + Count((kMaxOggFileSize + 1) >> 30) +
             u" GiB or more, beyond the decoder's reach; split it";
    }
    return u"an Ogg Vorbis file whose end holds too many false page starts to find its length" +
           std::u16string(kEncodeAgain);
  }
  if (BeyondFrameCount(file, size)) {
    return u"an Ogg Vorbis stream of " + Count(kDecoderSaturatedFrames) +
           u" sample frames or more (27 hours at 44.1 kHz), more than the decoder counts; split it";
  }
  return kUnexplained;
}

}  // namespace

std::u16string NotMeasuredReason(const std::u16string& path) {
  std::u16string system_reason;
  switch (ExaminePath(path, &system_reason)) {
    case PathKind::kMissing:
      return u"no such file: " + FullPath(path) + u"; check the name and folder";
    case PathKind::kUnreadable:
      return u"cannot be opened: " + system_reason;
    case PathKind::kFolder:
      return u"a folder with no files directly in it; its subfolders are not searched";
    case PathKind::kOther:
      return u"a device, pipe or socket, not a file";
    case PathKind::kReadableFile:
      break;
  }
  const std::unique_ptr<FileByteSource> file = FileByteSource::Open(path);
  if (file == nullptr) return kUnexplained;
  const SniffedContent content = SniffContent(*file);
  switch (content.kind) {
    case ContentKind::kEmpty:
      return u"an empty file";
    case ContentKind::kWave:
      return WaveReason(*file);
    case ContentKind::kOggVorbis:
      return OggReason(*file);
    case ContentKind::kOtherAudio:
      return std::u16string(content.format) + u": convert it to Ogg Vorbis";
    case ContentKind::kUnknown:
      break;
  }
  return u"not audio: no known audio format";
}

void WriteNotMeasuredReasons(ConsoleOutput& console, const DurationTable& table,
                             const std::vector<std::u16string>& paths,
                             const std::vector<std::u16string>& keys) {
  // The later path under a key is the one whose value the table shows.
  std::map<std::u16string_view, const std::u16string*> shown_path;
  for (std::size_t i = 0; i < paths.size() && i < keys.size(); ++i) shown_path[keys[i]] = &paths[i];
  std::vector<NamedReason> reasons;
  for (const auto& [key, seconds] : table) {
    const auto found = shown_path.find(key);
    if (seconds >= 0 || found == shown_path.end()) continue;
    reasons.push_back({std::u16string(FileNameOf(key)), NotMeasuredReason(*found->second)});
  }
  WriteReasonBlock(console, u"[n/a] Why these could not be measured:", reasons);
}
