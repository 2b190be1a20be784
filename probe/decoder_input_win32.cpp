#include <cstdio>
#include <memory>

#include "probe/decoder_input.h"
#include "probe/stream_seek.h"

namespace {

// No stream over memory here: the file itself cannot change while it is open.
class Win32DecoderInput : public DecoderInput {
 public:
  Win32DecoderInput(FileByteSource& file, std::uint64_t size) : file_(file), size_(size) {}

  ByteSource& source() override { return file_; }
  std::uint64_t size() const override { return size_; }
  std::uint64_t kept_bytes() const override { return 0; }
  bool cut_short() const override { return false; }

  std::FILE* stream() override {
    std::FILE* stream = file_.stream();
    std::clearerr(stream);  // a short read by the checks leaves end-of-file set
    return SeekStream(stream, 0) ? stream : nullptr;
  }

 private:
  FileByteSource& file_;
  std::uint64_t size_;
};

}  // namespace

std::unique_ptr<DecoderInput> DecoderInput::Open(
    FileByteSource& file, const RecordingByteSource::KeepAllowance& /*may_keep*/) {
  std::uint64_t size = 0;
  if (!file.Size(&size)) return nullptr;
  return std::make_unique<Win32DecoderInput>(file, size);
}
