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
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error);
  // A name another run holds is passed over; any other failure would only repeat.
  for (int tries = 0; !error && tries < 100; ++tries) {
    const fs::path candidate =
        folder / ("probe-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.generic_string();
      return;
    }
  }
  const std::string where = folder.empty() ? "the system's temporary folder" : folder.u8string();
  throw std::runtime_error("no temporary folder can be made in " + where + ": " +
                           (error ? error.message() : "every name tried is taken"));
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
