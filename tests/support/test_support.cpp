#include "tests/support/test_support.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  // Where no folder can be made, the calls throw with the reason; a name another run holds is
  // passed over, up to a hundred.
  const fs::path folder = fs::temp_directory_path();
  for (int tries = 0; tries < 100; ++tries) {
    const fs::path candidate = folder / ("probe-test-" + stamp + "-" + std::to_string(counter++));
    if (fs::create_directory(candidate)) {
      path_ = candidate.generic_string();
      return;
    }
  }
  throw std::runtime_error("every name tried is taken in " + folder.u8string());
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;  // a leftover temporary folder is not worth failing a test over
  fs::remove_all(path_, ignored);
}

std::string ScopedTempDir::File(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
