#include <stdio_ext.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

#include "probe/decoder_input.h"
#include "probe/stream_seek.h"

// The decoder reads through stdio, byte by byte, with ftell and fseek to skip: while it opens,
// the pages from offset 0 to the end of its first audio packet, which the header check reads
// whole; for the length, from 64 KiB before the end (or from the first audio page, if that is
// later) to the end, which the last-page guard reads; and the size, by seeking to the end.
// Only the decoding of that first audio packet can read a little further than the header
// check (a segment table, or a page the packet runs into that does not continue it): it finds
// the end of the file there, and as that packet's outcome changes neither the length, nor the
// rate, nor whether the decoder opens, every result stays as it was.
//
// The bytes are read once, into memory, and the decoder reads them through a stream over that
// memory: no system call per buffer or per seek, where a stream over a file makes one for
// every fseek (about 50 a file) and a file in memory costs its creation, the copy into it and
// freeing its pages.

namespace {

// Where the decoder's stream stands in the kept bytes.
struct Cursor {
  const RecordingByteSource* kept;
  std::uint64_t position;
};

ssize_t ReadKept(void* cookie, char* buffer, size_t size) {
  auto* cursor = static_cast<Cursor*>(cookie);
  // Where the checks read nothing, and past the end, the stream ends.
  const std::size_t count = cursor->kept->ReadKept(cursor->position, buffer, size);
  cursor->position += count;
  return static_cast<ssize_t>(count);
}

int SeekKept(void* cookie, off64_t* offset, int whence) {
  auto* cursor = static_cast<Cursor*>(cookie);
  // Both stay below 2^63: the size comes from the file system, the position from here.
  std::int64_t base = 0;
  if (whence == SEEK_CUR) base = static_cast<std::int64_t>(cursor->position);
  if (whence == SEEK_END) base = static_cast<std::int64_t>(cursor->kept->size());
  // As lseek: any position from 0 up, beyond the end too.
  if (*offset < -base || *offset > std::numeric_limits<std::int64_t>::max() - base) {
    errno = EINVAL;
    return -1;
  }
  *offset += base;
  cursor->position = static_cast<std::uint64_t>(*offset);
  return 0;
}

int CloseKept(void* cookie) {
  delete static_cast<Cursor*>(cookie);
  return 0;
}

class KeptInput final : public DecoderInput {
 public:
  KeptInput(FileByteSource& file, std::uint64_t size,
            const RecordingByteSource::KeepAllowance& may_keep)
      : kept_(file, size, may_keep) {}

  ~KeptInput() override {
    if (stream_ != nullptr) (void)std::fclose(stream_);  // a stream over memory: nothing lost
  }

  ByteSource& source() override { return kept_; }
  std::uint64_t size() const override { return kept_.size(); }
  std::uint64_t kept_bytes() const override { return kept_.kept_bytes(); }
  bool cut_short() const override { return kept_.refused(); }

  std::FILE* stream() override {
    if (!kept_.complete()) return nullptr;
    if (stream_ == nullptr) {
      auto* cursor = new (std::nothrow) Cursor{&kept_, 0};
      if (cursor == nullptr) return nullptr;
      // Read-only: no write function.
      stream_ = ::fopencookie(cursor, "rb", cookie_io_functions_t{ReadKept, nullptr, SeekKept,
                                                                   CloseKept});
      if (stream_ == nullptr) {
        delete cursor;
        return nullptr;
      }
      // One thread reads it; see fgetc below.
      (void)::__fsetlocking(stream_, FSETLOCKING_BYCALLER);
      return stream_;
    }
    std::clearerr(stream_);
    return SeekStream(stream_, 0) ? stream_ : nullptr;
  }

 private:
  RecordingByteSource kept_;
  std::FILE* stream_ = nullptr;
};

}  // namespace

std::unique_ptr<DecoderInput> DecoderInput::Open(
    FileByteSource& file, const RecordingByteSource::KeepAllowance& may_keep) {
  std::uint64_t size = 0;
  if (!file.Size(&size)) return nullptr;
  return std::make_unique<KeptInput>(file, size, may_keep);
}

// The decoder reads its headers and the last 64 KiB one fgetc call per byte, about 70 000
// calls a file. glibc's fgetc takes its locking path on every call to a stream over memory,
// and to every stream once a second thread exists, even where the caller has said it does the
// locking itself (FSETLOCKING_BYCALLER), which spares it only the lock: 15 % more instructions
// for the whole run. The programs define fgetc, so that the decoder's calls (Debian's libstb
// resolves its fgetc against the program first) come here: a stream whose caller does the
// locking, as the stream above that one thread reads, is read as getc_unlocked reads it,
// without that path and without a lock, as glibc too reads it without a lock; every other
// stream as glibc's fgetc reads it (getc is the same function). Another C library keeps its
// own fgetc.
#ifdef __GLIBC__
extern "C" int fgetc(std::FILE* stream) {
  if ((stream->_flags & _IO_USER_LOCK) != 0) return getc_unlocked(stream);
  return getc(stream);
}
#endif
