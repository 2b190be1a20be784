// Feeds one input to both routes of the duration probe: the WAVE reader over the bytes in
// memory, and the Ogg route (header check, then the decoder) over a file holding them, since
// the decoder reads through a stdio stream. Aborts when the decoder had to be opened twice, and
// when the Ogg route's answer is not the decoder's own: where the header check passes the file,
// the same length; where it calls the file one the decoder refuses, the decoder refusing it.
// (Files beyond a cap, or that the decoder mishandles, are not given to the decoder.)

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/utf.h"
#include "probe/byte_source.h"
#include "probe/duration_probe.h"
#include "probe/ogg_header_check.h"
#include "probe/ogg_length_guard.h"
#include "probe/vorbis_length.h"
#include "probe/vorbis_setup_memo.h"
#include "probe/wave_reader.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

// One scratch file per process, rewritten for every input and removed at exit.
class ScratchFile {
 public:
  ScratchFile() {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") +
                          "/probe-fuzz-XXXXXX";
    fd_ = ::mkstemp(pattern.data());
    if (fd_ >= 0) path_ = pattern;
  }
  ~ScratchFile() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
  }

  // False when the file could not be made or written; the input is then skipped.
  bool Hold(const std::uint8_t* data, std::size_t size) {
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) return false;
    std::size_t done = 0;
    while (done < size) {
      const ssize_t put = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (put <= 0) return false;
      done += static_cast<std::size_t>(put);
    }
    return true;
  }

  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// The decoder on its own over the file at `path`, with the largest memory area the Ogg route
// gives it: false when it opens no stream, else the stream's frames and rate.
bool DecoderLength(const std::string& path, unsigned int& frames, unsigned int& rate) {
  static char* const area = static_cast<char*>(std::malloc(kMaxDecoderAreaBytes));
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (area == nullptr || stream == nullptr) std::abort();
  const stb_vorbis_alloc alloc{area, static_cast<int>(kMaxDecoderAreaBytes)};
  int error = 0;
  stb_vorbis* decoder = stb_vorbis_open_file(stream, /*close_on_free=*/0, &error, &alloc);
  if (decoder != nullptr) {
    frames = stb_vorbis_stream_length_in_samples(decoder);
    rate = stb_vorbis_get_info(decoder).sample_rate;
    stb_vorbis_close(decoder);
  }
  (void)std::fclose(stream);  // opened read-only: nothing is lost if closing fails
  return decoder != nullptr;
}

// Aborts unless the Ogg route's `ogg_seconds` for the input is the decoder's answer, and unless
// the header check answers as it does without the memo of setup headers the route shares
// between files (here all the inputs of a run).
void CompareWithDecoder(const std::uint8_t* data, std::size_t size, const std::string& path,
                        float ogg_seconds) {
  MemoryByteSource source(data, size);
  std::uint64_t area = 0, recalled_area = 0;
  const OggHeaderVerdict verdict = CheckOggVorbisHeaders(source, area);
  if (CheckOggVorbisHeaders(source, recalled_area, &SharedSetupMemo()) != verdict ||
      (verdict == OggHeaderVerdict::kSafe && recalled_area != area)) {
    std::abort();
  }
  const bool passed = verdict == OggHeaderVerdict::kSafe && CanFindOggLength(source, size);
  if (!passed && !IsDecoderRefusal(verdict)) return;
  unsigned int frames = 0, rate = 0;
  const bool opened = DecoderLength(path, frames, rate);
  if (!passed) {
    if (opened) std::abort();  // refused for the decoder, which reads it
    return;
  }
  // Frames the decoder saturates are a cap of the route's own.
  if (opened && frames == 0xFFFFFFFE) return;
  const float seconds = opened ? static_cast<float>(frames) / static_cast<float>(rate) : -1.0f;
  if (seconds != ogg_seconds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WaveReader reader;
  float wave_seconds = -1.0f;
  if (reader.Open(std::make_unique<MemoryByteSource>(data, size))) {
    wave_seconds = WaveSeconds(reader.data_size(), reader.format().average_bytes_per_second);
  }
  static ScratchFile scratch;
  float ogg_seconds = -1.0f;
  int decoder_opens = 0;
  if (scratch.Hold(data, size)) {
    ogg_seconds = VorbisSeconds(Utf8ToUtf16(scratch.path()), decoder_opens);
    CompareWithDecoder(data, size, scratch.path(), ogg_seconds);
  }
  // The memory area sized from the headers must let the decoder open the file at once.
  if (decoder_opens > 1) std::abort();
  (void)ChooseDuration(wave_seconds, ogg_seconds);  // only its safety is under test
  return 0;
}
