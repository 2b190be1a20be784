// The probe's fuzz target: feeds one input to both routes of the duration probe, the WAVE
// reader over the bytes in memory and the Ogg route (header check, then the decoder) over a file
// holding them, as the decoder reads a stdio stream. Aborts when the decoder had to be opened
// twice, and when the Ogg route's answer is not the decoder's own: where the header check passes
// the file, the same length; where it calls the file one the decoder refuses, the decoder
// refusing it. (Files beyond a cap, or that the decoder mishandles, are not given to it.)
// With FUZZ_REPLAY_MAIN it is also a program that replays files through it (see main).
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/utf.h"
#include "probe/byte_source.h"
#include "probe/duration_probe.h"
#include "probe/decoder_mirror/ogg_header_check.h"
#include "probe/decoder_mirror/ogg_length_guard.h"
#include "probe/vorbis_length.h"
#include "probe/decoder_mirror/vorbis_setup_memo.h"
#include "probe/wave_reader.h"
#include "tests/support/test_support.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

// Off while fuzzing (shapes no encoder writes may leave the estimate looser). When on, the
// decoder must fail with kAreaSlack bytes less than the area estimated for an input the Ogg route
// passes; the route opening it once with the estimate bounds the estimate from below.
bool area_bound = false;
constexpr std::uint64_t kAreaSlack = 8192;
int bounded_inputs = 0;

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
    seconds = frames == kDecoderSaturatedFrames ? -1.0f : static_cast<float>(frames) / rate;
    stb_vorbis_close(decoder);
  }
  (void)std::fclose(stream);  // opened read-only: nothing is lost if closing fails
  return decoder != nullptr;
}

// Aborts unless the Ogg route's `ogg_seconds` for the input is the decoder's answer, and unless
// the header check answers as it does without the memo of setup headers the route shares
// between files (here all the inputs of a run): the same verdict, area and place after the
// setup, also when the memo recalls the input's own setup.
void CompareWithDecoder(const std::uint8_t* data, std::size_t size, const std::string& path,
                        float ogg_seconds) {
  MemoryByteSource source(data, size);
  std::uint64_t area = 0;
  OggPacketReader::Place place{};
  const OggHeaderVerdict verdict = CheckOggVorbisHeaders(source, &area, nullptr, &place);
  for (int pass = 0; pass < 2; ++pass) {
    std::uint64_t recalled_area = 0;
    OggPacketReader::Place recalled_place{};
    if (CheckOggVorbisHeaders(source, &recalled_area, &SharedSetupMemo(), &recalled_place) !=
            verdict ||
        !(recalled_place == place) ||
        (verdict == OggHeaderVerdict::kSafe && recalled_area != area)) {
      std::abort();
    }
  }
  const bool passed = verdict == OggHeaderVerdict::kSafe && CanFindOggLength(source, size);
  if (!passed && !IsDecoderRefusal(verdict)) return;
  float seconds = -1.0f, ignored = 0;
  const bool opened = DecoderOpens(path, kMaxDecoderAreaBytes, seconds);
  // Refused for the decoder, which reads it; or passed, and measured otherwise than it does.
  if (passed ? seconds != ogg_seconds : opened) std::abort();
  if (!passed || !area_bound) return;
  ++bounded_inputs;
  if (DecoderOpens(path, area - std::min(area, kAreaSlack), ignored)) std::abort();
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
    ogg_seconds = VorbisSeconds(Utf8ToUtf16(path), &decoder_opens);
    CompareWithDecoder(data, size, path, ogg_seconds);
  }
  // The memory area sized from the headers must let the decoder open the file at once.
  if (decoder_opens > 1) std::abort();
  (void)ChooseDuration(wave_seconds, ogg_seconds);  // only its safety is under test
  return 0;
}

#ifdef FUZZ_REPLAY_MAIN
// probe_fuzz_replay [--area-bound] FOLDER...: runs the target once over every file in the
// folders, naming each first so that an abort names the last. Exits 1 when a folder is missing
// or empty, or with --area-bound when no input was bounded: a broken path or a check refusing
// everything cannot pass unnoticed.
int main(int argc, char** argv) {
  area_bound = argc > 1 && std::strcmp(argv[1], "--area-bound") == 0;
  for (int i = area_bound ? 2 : 1; i < argc; ++i) {
    std::error_code error;
    std::size_t replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(argv[i], error)) {
      if (!entry.is_regular_file()) continue;
      std::printf("%s\n", entry.path().c_str());
      std::fflush(stdout);
      const std::string bytes = ReadBytes(entry.path().string());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
    std::printf("%s: %zu inputs replayed\n", argv[i], replayed);
    if (error || replayed == 0) return 1;
  }
  if (area_bound) std::printf("%d inputs within the area bound\n", bounded_inputs);
  return area_bound && bounded_inputs == 0 ? 1 : 0;
}
#endif
