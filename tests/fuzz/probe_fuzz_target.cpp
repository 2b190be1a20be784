// Feeds one input to both routes of the duration probe: the WAVE reader over the bytes in
// memory, and the Ogg route (header check, then the decoder) over a file holding them, since
// the decoder reads through a stdio stream. Aborts when the decoder had to be opened twice.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/utf.h"
#include "probe/byte_source.h"
#include "probe/duration_probe.h"
#include "probe/vorbis_length.h"
#include "probe/wave_reader.h"

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
  }
  // The memory area sized from the headers must let the decoder open the file at once.
  if (decoder_opens > 1) std::abort();
  (void)ChooseDuration(wave_seconds, ogg_seconds);  // only its safety is under test
  return 0;
}
