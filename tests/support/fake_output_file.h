#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file_io.h"

// An in-memory output for the generator's tests: keeps the bytes written and the size of each
// Write call. Accepts `capacity` bytes in all; a write that does not fit stores what fits and
// reports failure, as a full disk does.
class FakeOutputFile : public OutputFile {
 public:
  explicit FakeOutputFile(std::size_t capacity = static_cast<std::size_t>(-1),
                          bool close_succeeds = true)
      : capacity_(capacity), close_succeeds_(close_succeeds) {}

  bool Write(const void* data, std::size_t size) override {
    const std::size_t room = capacity_ - bytes_.size();
    const std::size_t taken = size < room ? size : room;
    bytes_.append(static_cast<const char*>(data), taken);
    write_sizes_.push_back(size);
    return taken == size;
  }

  bool Close() override { return close_succeeds_; }

  const std::string& bytes() const { return bytes_; }
  const std::vector<std::size_t>& write_sizes() const { return write_sizes_; }

 private:
  std::size_t capacity_;
  bool close_succeeds_;
  std::string bytes_;
  std::vector<std::size_t> write_sizes_;
};
