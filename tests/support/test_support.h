#pragma once

#include <string>
#include <string_view>

// Shared helpers for the unit tests and the fuzz target. Portable: they also run under Wine.

// A fresh temporary folder, removed with everything in it when the object goes. When none can
// be made, the constructor throws an exception with the reason, which fails the test running it.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return path_; }
  // `name` inside the folder.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, std::string_view bytes);
// The whole file, or an empty string when it cannot be read.
std::string ReadBytes(const std::string& path);
