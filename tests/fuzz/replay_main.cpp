// Runs the fuzz target once over every file in the folders given as arguments: the seed
// corpus and the regression inputs, replayed deterministically in the test suite. Exits
// non-zero when a folder is missing or empty, so a broken path cannot pass unnoticed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    std::size_t replayed = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(argv[i], error)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
    std::printf("%s: %zu inputs replayed\n", argv[i], replayed);
    if (error || replayed == 0) return 1;
  }
  return 0;
}
