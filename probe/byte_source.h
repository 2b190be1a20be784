#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/file_io.h"

// Sequential reading with seeking, over a file or over bytes in memory, so that the same
// chunk-walking code runs on disk files and on byte arrays built by tests or a fuzzer.
// Positions are absolute byte offsets from the start, in 64 bits.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Reads up to `size` bytes at the current position into `buffer` and advances past them.
  // Returns how many were read: fewer than `size` only at the end of the data (or on a read
  // error), 0 at or beyond the end.
  virtual std::size_t Read(void* buffer, std::size_t size) = 0;

  // Moves to `offset`. Moving beyond the end is allowed; reads there return 0. False when
  // the position cannot be set (the position is then unspecified).
  virtual bool Seek(std::uint64_t offset) = 0;

  // The current position.
  virtual std::uint64_t Tell() const = 0;
};

// Reads bytes owned by the caller, which must outlive the source.
class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const void* data, std::size_t size);

  std::size_t Read(void* buffer, std::size_t size) override;
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Tell() const override { return position_; }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::uint64_t position_ = 0;
};

// Reads a file through a buffered stream that it owns and closes on destruction, with a buffer
// of kBufferBytes.
class FileByteSource : public ByteSource {
 public:
  // Opens the existing regular file at `path` (UTF-16), as OpenFileForReading does with
  // `sharing`. Returns nullptr when it cannot: missing names, folders, FIFOs and devices are
  // refused without blocking.
  static std::unique_ptr<FileByteSource> Open(
      const std::u16string& path, FileSharing sharing = FileSharing::kWritersAllowed);

  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  std::size_t Read(void* buffer, std::size_t size) override;
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Tell() const override { return position_; }

  // The file's size now, in bytes. False when the platform cannot tell.
  bool Size(std::uint64_t* size) const;

  // The stream itself, for a reader that needs one; reading or moving it leaves Tell() wrong
  // until the next Seek.
  std::FILE* stream() const { return stream_; }

  // One read fills it with the headers of nearly every file (a WAVE header, the Ogg header
  // pages), and a cold disk is not asked for much more than that.
  static constexpr std::size_t kBufferBytes = std::size_t{16} << 10;

 private:
  explicit FileByteSource(std::FILE* stream);

  std::FILE* stream_;
  char buffer_[kBufferBytes];
  std::uint64_t position_ = 0;
};
