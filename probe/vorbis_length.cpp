#include "probe/vorbis_length.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include "probe/decoder_input.h"
#include "probe/decoder_memory.h"
#include "probe/ogg_header_check.h"
#include "probe/ogg_length_guard.h"

// Debian's header holds the whole decoder; its code is compiled elsewhere exactly once.
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

// The decoder takes all its memory from one area that we hand it, sized from its headers.
// Out of room, it fails cleanly (its own clean-up after a failed allocation frees pointers it
// never set, but with an area its frees do nothing). It reads its headers byte by byte, so an
// area too small costs a second pass: that happens only if its structures outgrow the sizes
// the estimate assumes, and the area is then doubled. Either way the result is the same as
// with unlimited memory, up to the largest area. Real files need 0.1 to 2 MiB.
constexpr std::uint64_t kLargestDecoderArea = kMaxDecoderAreaBytes;
// The decoder's count when the last page declares more frames than 32 bits hold.
constexpr unsigned int kSaturatedFrames = 0xFFFFFFFE;

struct DecoderCloser {
  void operator()(stb_vorbis* decoder) const { stb_vorbis_close(decoder); }
};

}  // namespace

float VorbisSeconds(const std::u16string& path) {
  int decoder_opens = 0;
  return VorbisSeconds(path, decoder_opens);
}

float VorbisSeconds(const std::u16string& path, int& decoder_opens,
                    const std::function<void()>& after_checks) {
  decoder_opens = 0;
  const std::unique_ptr<DecoderInput> input = DecoderInput::Open(path);
  if (input == nullptr) return -1.0f;
  // The decoder trusts the header fields; malformed ones must never reach it. It also cannot
  // always find the length: those files are n/a rather than measured wrong or slowly.
  std::uint64_t needed = 0;
  if (CheckOggVorbisHeaders(input->source(), needed) != OggHeaderVerdict::kSafe ||
      !CanFindOggLength(input->source(), input->size())) {
    return -1.0f;
  }
  if (after_checks) after_checks();
  // Beyond the largest area the decoder still decides: the estimate may be a little high.
  std::uint64_t area_size = std::min(needed, kLargestDecoderArea);
  for (;;) {
    // Short of memory (a small address space), the file is n/a.
    const DecoderMemory area = AllocateDecoderMemory(static_cast<std::size_t>(area_size));
    if (area == nullptr) return -1.0f;
    const stb_vorbis_alloc alloc{area.get(), static_cast<int>(area_size)};
    // The stream stays the input's, so that a retry reads it again from the start.
    std::FILE* stream = input->stream();
    if (stream == nullptr) return -1.0f;
    int error = 0;
    ++decoder_opens;
    const std::unique_ptr<stb_vorbis, DecoderCloser> decoder(
        stb_vorbis_open_file(stream, /*close_on_free=*/0, &error, &alloc));
    if (decoder != nullptr) {
      // 0 frames means the decoder found no length; the rate is never 0 in a stream it accepts.
      const unsigned int frames = stb_vorbis_stream_length_in_samples(decoder.get());
      if (frames == kSaturatedFrames) return -1.0f;
      const unsigned int rate = stb_vorbis_get_info(decoder.get()).sample_rate;
      return static_cast<float>(frames) / static_cast<float>(rate);
    }
    if (error != VORBIS_outofmem || area_size == kLargestDecoderArea) return -1.0f;
    area_size = std::min(2 * area_size, kLargestDecoderArea);
  }
}
