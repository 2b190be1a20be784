// Bounds the header check's estimate of the decoder's memory area from both sides, on real
// files: the decoder must open every file the check passes with the estimated area, and must
// fail with kSlack bytes less, so that the estimate lies within kSlack of the smallest area that
// opens. The Ogg route hands the decoder the estimate, so a high one costs memory on every
// file, and a low one a second pass.
//
//   area_bound FILE_OR_FOLDER...
//
// Exits 1 naming each file outside the bound, and when no file passed the check at all.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "probe/byte_source.h"
#include "probe/ogg_header_check.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

constexpr std::uint64_t kSlack = 8192;

// Whether the decoder opens the file at `path` within an area of `size` bytes.
bool Opens(const std::string& path, std::uint64_t size) {
  const std::unique_ptr<char[]> area(new char[size]);
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (stream == nullptr) return false;
  const stb_vorbis_alloc alloc{area.get(), static_cast<int>(size)};
  int error = 0;
  stb_vorbis* decoder = stb_vorbis_open_file(stream, /*close_on_free=*/0, &error, &alloc);
  if (decoder != nullptr) stb_vorbis_close(decoder);
  (void)std::fclose(stream);  // opened read-only: nothing is lost if closing fails
  return decoder != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  int checked = 0, outside = 0;
  std::uint64_t widest = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path given(argv[i]);
    for (const fs::path& path : fs::is_directory(given)
                                    ? std::vector<fs::path>(fs::directory_iterator(given), {})
                                    : std::vector<fs::path>{given}) {
      std::ifstream in(path, std::ios::binary);
      const std::string bytes(std::istreambuf_iterator<char>(in), {});
      MemoryByteSource source(bytes.data(), bytes.size());
      std::uint64_t area = 0;
      if (CheckOggVorbisHeaders(source, area) != OggHeaderVerdict::kSafe) continue;
      ++checked;
      if (!Opens(path.string(), area) || Opens(path.string(), area - kSlack)) {
        std::printf("%s: the estimate of %llu bytes is not within %llu of the smallest area\n",
                    path.string().c_str(), static_cast<unsigned long long>(area),
                    static_cast<unsigned long long>(kSlack));
        ++outside;
        continue;
      }
      // The smallest area that opens, for the summary: between the estimate less the slack
      // and the estimate.
      std::uint64_t low = area - kSlack, high = area;
      while (high - low > 1) {
        const std::uint64_t middle = low + (high - low) / 2;
        (Opens(path.string(), middle) ? high : low) = middle;
      }
      widest = std::max(widest, area - high);
    }
  }
  std::printf("%d files passed by the check, %d outside the bound; the widest estimate above the "
              "smallest area: %llu bytes\n",
              checked, outside, static_cast<unsigned long long>(widest));
  return checked > 0 && outside == 0 ? 0 : 1;
}
