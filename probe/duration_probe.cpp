#include "probe/duration_probe.h"

#include <memory>

#include "platform/file_io.h"
#include "probe/byte_source.h"
#include "probe/vorbis_length.h"
#include "probe/wave_reader.h"

namespace {

float WaveRouteSeconds(ByteSource& file) {
  WaveReader reader;
  if (!reader.Open(file)) return -1.0f;
  return WaveSeconds(reader.data_size(), reader.format().average_bytes_per_second);
}

}  // namespace

float WaveSeconds(std::uint32_t data_size, std::uint32_t average_bytes_per_second) {
  if (average_bytes_per_second == 0) return -1.0f;
  // A 32-bit size times 1000 needs 42 bits.
  const std::uint64_t milliseconds =
      static_cast<std::uint64_t>(data_size) * 1000u / average_bytes_per_second;
  return static_cast<float>(milliseconds) / 1000.0f;
}

float ChooseDuration(float wave_seconds, float ogg_seconds) {
  if (wave_seconds > 0.0f) return wave_seconds;
  if (ogg_seconds > 0.0f) return ogg_seconds;
  // Neither is positive: a failed WAVE route defers to the Ogg route's -1 or 0, while an
  // empty WAVE file is a real duration of 0.
  if (wave_seconds < 0.0f) return ogg_seconds;
  return 0.0f;
}

float DurationProbe(const std::u16string& path) {
  // Both routes read one open file, kept from writers where the platform can (Windows), as the
  // Ogg route needs. A file another program holds open for writing opens there only with
  // writers allowed: the WAVE route reads it, the Ogg route does not.
  std::unique_ptr<FileByteSource> file = FileByteSource::Open(path, FileSharing::kWritersKeptOut);
  const bool writers_kept_out = file != nullptr;
  if (file == nullptr && kKeepingWritersOutCanRefuse) file = FileByteSource::Open(path);
  if (file == nullptr) return ChooseDuration(-1.0f, -1.0f);
  // The content decides, not the extension: the WAVE route first, then the Ogg route, which
  // ChooseDuration would overrule where the WAVE route measured more than 0.
  const float wave_seconds = WaveRouteSeconds(*file);
  if (wave_seconds > 0.0f) return wave_seconds;
  int decoder_opens = 0;
  const float ogg_seconds = writers_kept_out ? VorbisSeconds(*file, &decoder_opens) : -1.0f;
  return ChooseDuration(wave_seconds, ogg_seconds);
}
