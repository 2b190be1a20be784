// Feeds one input to both routes of the duration probe: the WAVE reader over the bytes in
// memory, and the Ogg route (header check, then the decoder) over a file holding them, since
// the decoder reads through a stdio stream. Aborts when the decoder had to be opened twice, and
// when the Ogg route's answer is not the decoder's own: where the header check passes the file,
// the same length; where it calls the file one the decoder refuses, the decoder refusing it.
// (Files beyond a cap, or that the decoder mishandles, are not given to the decoder.)

#include "tests/fuzz/probe_fuzz_target.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/utf.h"
#include "probe/byte_source.h"
#include "probe/duration_probe.h"
#include "probe/ogg_header_check.h"
#include "probe/ogg_length_guard.h"
#include "probe/vorbis_length.h"
#include "probe/vorbis_setup_memo.h"
#include "probe/wave_reader.h"
#include "tests/support/test_support.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

AreaBound area_bound;

namespace {

// The decoder on its own over the file at `path`, in an area of `area_bytes` (at most the
// largest the Ogg route gives): false when it opens no stream, else the stream's seconds, -1
// where the frames saturate (a cap of the route's own).
bool DecoderOpens(const std::string& path, std::uint64_t area_bytes, float& seconds) {
  static char* const area = static_cast<char*>(std::malloc(kMaxDecoderAreaBytes));
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (area == nullptr || stream == nullptr) std::abort();
  const stb_vorbis_alloc alloc{area, int(std::min(area_bytes, kMaxDecoderAreaBytes))};
  int error = 0;
  stb_vorbis* decoder = stb_vorbis_open_file(stream, /*close_on_free=*/0, &error, &alloc);
  if (decoder != nullptr) {
    const unsigned int frames = stb_vorbis_stream_length_in_samples(decoder);
    const float rate = static_cast<float>(stb_vorbis_get_info(decoder).sample_rate);
    seconds = frames == 0xFFFFFFFE ? -1.0f : static_cast<float>(frames) / rate;
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
  float seconds = -1.0f, ignored = 0;
  const bool opened = DecoderOpens(path, kMaxDecoderAreaBytes, seconds);
  if (!passed) {
    if (opened) std::abort();  // refused for the decoder, which reads it
    return;
  }
  if (seconds != ogg_seconds) std::abort();
  if (!area_bound.on) return;
  ++area_bound.inputs;
  if (DecoderOpens(path, area - std::min(area, AreaBound::kAreaSlack), ignored)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  WaveReader reader;
  float wave_seconds = -1.0f;
  MemoryByteSource source(data, size);
  if (reader.Open(source)) {
    wave_seconds = WaveSeconds(reader.data_size(), reader.format().average_bytes_per_second);
  }
  // The decoder reads a stdio stream: the input goes to a file, rewritten for every input.
  static const ScopedTempDir folder;
  static const std::string path = folder.File("input");
  float ogg_seconds = -1.0f;
  int decoder_opens = 0;
  std::ofstream held(path, std::ios::binary | std::ios::trunc);
  if (held.write(reinterpret_cast<const char*>(data), std::streamsize(size)).flush()) {
    held.close();
    ogg_seconds = VorbisSeconds(Utf8ToUtf16(path), decoder_opens);
    CompareWithDecoder(data, size, path, ogg_seconds);
  }
  // The memory area sized from the headers must let the decoder open the file at once.
  if (decoder_opens > 1) std::abort();
  (void)ChooseDuration(wave_seconds, ogg_seconds);  // only its safety is under test
  return 0;
}
