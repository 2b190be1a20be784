// Runs the fuzz target once over every file in the folders given, deterministically, as the
// test suite does with the seed corpus, the regression inputs and files made for it:
//   probe_fuzz_replay [--area-bound] FOLDER...
// Names each input first, so that an abort names the last. Exits 1 when a folder is missing
// or empty, or with --area-bound (AreaBound) when no input was bounded: a broken path or a
// check refusing everything cannot pass unnoticed.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "tests/fuzz/probe_fuzz_target.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  area_bound.on = argc > 1 && std::strcmp(argv[1], "--area-bound") == 0;
  for (int i = area_bound.on ? 2 : 1; i < argc; ++i) {
    std::error_code error;
    std::size_t replayed = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(argv[i], error)) {
      if (!entry.is_regular_file()) continue;
      std::printf("%s\n", entry.path().c_str());
      std::fflush(stdout);
      std::ifstream in(entry.path(), std::ios::binary);
      const std::string bytes(std::istreambuf_iterator<char>(in), {});
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
    std::printf("%s: %zu inputs replayed\n", argv[i], replayed);
    if (error || replayed == 0) return 1;
  }
  if (area_bound.on) std::printf("%d inputs within the area bound\n", area_bound.inputs);
  return area_bound.on && area_bound.inputs == 0 ? 1 : 0;
}
