#include "probe/byte_source.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

#include "platform/file_io.h"
#include "probe/stream_seek.h"

MemoryByteSource::MemoryByteSource(const void* data, std::size_t size)
    : data_(static_cast<const unsigned char*>(data)), size_(size) {}

std::size_t MemoryByteSource::Read(void* buffer, std::size_t size) {
  // Compare before subtracting: the position may lie far beyond the end.
  if (position_ >= size_) return 0;
  const std::size_t available = size_ - static_cast<std::size_t>(position_);
  const std::size_t count = size < available ? size : available;
  if (count > 0) std::memcpy(buffer, data_ + position_, count);
  position_ += count;
  return count;
}

bool MemoryByteSource::Seek(std::uint64_t offset) {
  position_ = offset;
  return true;
}

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::u16string& path,
                                                     FileSharing sharing) {
  std::FILE* stream = OpenFileForReading(path, sharing);
  if (stream == nullptr) return nullptr;
  return std::unique_ptr<FileByteSource>(new FileByteSource(stream));
}

FileByteSource::FileByteSource(std::FILE* stream) : stream_(stream) {
  // glibc ignores the size asked for unless the buffer comes with it. Without this buffer the
  // stream keeps its own, so a failure costs nothing.
  (void)std::setvbuf(stream_, buffer_, _IOFBF, sizeof buffer_);
}

FileByteSource::~FileByteSource() {
  (void)std::fclose(stream_);  // opened read-only: nothing is lost if closing fails
}

std::size_t FileByteSource::Read(void* buffer, std::size_t size) {
  const std::size_t count = std::fread(buffer, 1, size, stream_);
  position_ += count;
  return count;
}

bool FileByteSource::Seek(std::uint64_t offset) {
  if (!SeekStream(stream_, offset)) return false;
  // Tracked here rather than asked of the stream: ftell's long is 32 bits on Windows.
  position_ = offset;
  return true;
}

bool FileByteSource::Size(std::uint64_t* size) const { return StreamSize(stream_, size); }
