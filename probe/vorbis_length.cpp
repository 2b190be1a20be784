#include "probe/vorbis_length.h"

#include <cstdio>
#include <memory>

#include "platform/file_io.h"
#include "probe/ogg_header_check.h"

// Debian's header holds the whole decoder; its code is compiled elsewhere exactly once.
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

struct DecoderCloser {
  void operator()(stb_vorbis* decoder) const { stb_vorbis_close(decoder); }
};

}  // namespace

float VorbisSeconds(const std::u16string& path) {
  std::FILE* stream = OpenFileForReading(path);
  if (stream == nullptr) return -1.0f;
  // The decoder trusts the header fields; malformed ones must never reach it.
  if (CheckOggVorbisHeaders(stream) != OggHeaderVerdict::kSafe) {
    (void)std::fclose(stream);  // opened read-only: nothing is lost if closing fails
    return -1.0f;
  }
  // The decoder owns the stream from here on: it closes it on failure and on close.
  int error = 0;  // why the decoder refused a file makes no difference to the result
  std::unique_ptr<stb_vorbis, DecoderCloser> decoder(
      stb_vorbis_open_file(stream, /*close_on_free=*/1, &error, nullptr));
  if (decoder == nullptr) return -1.0f;
  // 0 frames means the decoder found no length; the rate is never 0 in a stream it accepts.
  const unsigned int frames = stb_vorbis_stream_length_in_samples(decoder.get());
  const unsigned int rate = stb_vorbis_get_info(decoder.get()).sample_rate;
  return static_cast<float>(frames) / static_cast<float>(rate);
}
