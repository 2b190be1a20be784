#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <new>

#include "platform/descriptors_posix.h"
#include "probe/decoder_input.h"
#include "probe/stream_seek.h"

namespace {

// The decoder reads through stdio, byte by byte, with ftell and fseek to skip: while it opens,
// the pages from offset 0 to the end of its first audio packet, which the header check reads
// whole; for the length, from 64 KiB before the end (or from the first audio page, if that is
// later) to the end, which the last-page guard reads; and the size, by seeking to the end.
// Only the decoding of that first audio packet can read a little further than the header
// check (a segment table, or a page the packet runs into that does not continue it): it finds
// zeros there (no page) in a memory file, the end of the file in a stream over memory, and as
// that packet's outcome changes neither the length, nor the rate, nor whether the decoder
// opens, every result stays as it was.

// ---- The bytes read kept in a memory file, which the decoder reads as a file

// Reads until `size` bytes are in, the end of the file, or an error; returns how many.
std::size_t ReadAt(int fd, std::uint8_t* out, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  return done;
}

bool WriteAt(int fd, const std::uint8_t* bytes, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put =
        ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (put > 0) {
      done += static_cast<std::size_t>(put);
    } else if (put == 0 || errno != EINTR) {
      return false;
    }
  }
  return true;
}

// A file in memory of `size` bytes, all zeros, that only this process holds; -1 where the system
// has none (before Linux 3.17, or a sandbox that forbids it) or cannot make one that large.
int CreateMemoryFile(std::uint64_t size) {
  // Growing a file beyond the file size limit raises SIGXFSZ, which ends a process that does
  // not ignore it (the programs do; the tests of this library need not).
  rlimit limit;
  if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max()) ||
      (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
       size > limit.rlim_cur)) {
    return -1;
  }
  // Where 0, 1 or 2 was left closed, the console would write into it.
  int fd = AboveStandardDescriptors(::memfd_create("checked", MFD_CLOEXEC));
  if (fd >= 0 && ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    ::close(fd);
    fd = -1;
  }
  return fd;
}

// Reads the file as RecordingByteSource does, and keeps every byte read at its offset in a memory
// file of the same size: the kernel copies them, and where nothing was read the memory file
// holds zeros and no memory. Where the file has shrunk, the bytes missing read as zeros here
// too, as the memory file holds them.
class MemoryFileSource final : public ByteSource {
 public:
  MemoryFileSource(int file, int copy, std::uint64_t size,
                   const RecordingByteSource::KeepAllowance& may_keep)
      : file_(file), copy_(copy), size_(size), may_keep_(may_keep) {}

  std::size_t Read(void* buffer, std::size_t size) override {
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size && complete_ && position_ < size_) {
      const std::uint64_t wanted = std::min<std::uint64_t>(size - done, size_ - position_);
      // The run of kept bytes at the position, or the gap before the next one.
      auto next = runs_.upper_bound(position_);
      const bool kept = next != runs_.begin() && std::prev(next)->second > position_;
      const std::uint64_t end =
          kept ? std::prev(next)->second : next == runs_.end() ? size_ : next->first;
      const auto count = static_cast<std::size_t>(std::min(wanted, end - position_));
      if (kept ? ReadAt(copy_, out + done, count, position_) != count
               : !Keep(position_, count, out + done)) {
        complete_ = false;
        break;
      }
      position_ += count;
      done += count;
    }
    return done;
  }

  bool Seek(std::uint64_t offset) override {
    position_ = offset;
    return true;
  }
  std::uint64_t Tell() const override { return position_; }

  std::uint64_t kept_bytes() const { return kept_bytes_; }
  bool complete() const { return complete_; }
  bool refused() const { return refused_; }

 private:
  // Reads `size` bytes at `offset`, where nothing is kept yet, into `out` and into the memory
  // file. False when memory was refused or ran out: nothing then counts as read.
  bool Keep(std::uint64_t offset, std::size_t size, std::uint8_t* out) {
    // The memory file takes whole pages.
    static const std::uint64_t page = std::max<long>(::sysconf(_SC_PAGESIZE), 4096);
    const std::uint64_t pages = (offset + size + page - 1) / page - offset / page;
    const std::uint64_t kept_bytes = kept_bytes_ + pages * page;
    if (may_keep_ && !may_keep_(kept_bytes)) {
      refused_ = true;
      return false;
    }
    const std::size_t got = ReadAt(file_, out, size, offset);
    std::memset(out + got, 0, size - got);
    if (!WriteAt(copy_, out, got, offset)) return false;
    kept_bytes_ = kept_bytes;
    // Runs that meet are joined, so that the map stays small.
    std::uint64_t start = offset;
    auto before = runs_.lower_bound(offset);
    if (before != runs_.begin() && std::prev(before)->second == offset) {
      start = (--before)->first;
    }
    auto after = runs_.find(offset + size);
    const std::uint64_t end = after == runs_.end() ? offset + size : after->second;
    if (after != runs_.end()) runs_.erase(after);
    runs_[start] = end;
    return true;
  }

  int file_;
  int copy_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  std::map<std::uint64_t, std::uint64_t> runs_;  // kept bytes: start to end, apart
  RecordingByteSource::KeepAllowance may_keep_;
  std::uint64_t kept_bytes_ = 0;
  bool complete_ = true;
  bool refused_ = false;
};

class MemoryFileInput final : public DecoderInput {
 public:
  // Takes `copy`, a memory file of `size` bytes.
  MemoryFileInput(int file, int copy, std::uint64_t size,
                  const RecordingByteSource::KeepAllowance& may_keep)
      : copy_(copy), size_(size), kept_(file, copy, size, may_keep) {}

  ~MemoryFileInput() override {
    // Read-only here: nothing is lost if closing fails.
    if (stream_ != nullptr) {
      (void)std::fclose(stream_);
    } else {
      (void)::close(copy_);
    }
  }

  ByteSource& source() override { return kept_; }
  std::uint64_t size() const override { return size_; }
  std::uint64_t kept_bytes() const override { return kept_.kept_bytes(); }
  bool cut_short() const override { return kept_.refused(); }

  std::FILE* stream() override {
    if (!kept_.complete()) return nullptr;
    if (stream_ == nullptr) {
      stream_ = ::fdopen(copy_, "rb");
      if (stream_ == nullptr) return nullptr;
      // Once a second thread exists glibc locks a stream on every call, and the decoder reads
      // one byte per call. This stream has one reader.
      (void)::__fsetlocking(stream_, FSETLOCKING_BYCALLER);
    }
    std::clearerr(stream_);
    return SeekStream(stream_, 0) ? stream_ : nullptr;
  }

 private:
  int copy_;
  std::uint64_t size_;
  MemoryFileSource kept_;
  std::FILE* stream_ = nullptr;
};

// ---- Without a memory file: the bytes read kept on the heap, read through a stream over them

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

class HeapInput final : public DecoderInput {
 public:
  HeapInput(FileByteSource& file, std::uint64_t size,
            const RecordingByteSource::KeepAllowance& may_keep)
      : kept_(file, size, may_keep) {}

  ~HeapInput() override {
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
      // glibc locks such a stream on every call, and the decoder reads its headers one byte
      // per call: locking tripled the time of a large comment header. One thread reads it.
      // Even so each byte costs about twice a file stream's: glibc marks every stream over
      // memory as one that needs locks.
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
  if (!file.Size(size)) return nullptr;
  const int copy = CreateMemoryFile(size);
  if (copy < 0) return std::make_unique<HeapInput>(file, size, may_keep);
  return std::make_unique<MemoryFileInput>(::fileno(file.stream()), copy, size, may_keep);
}
