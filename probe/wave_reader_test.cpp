#include "probe/wave_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>

#include "tests/support/crafted_files.h"

namespace {

// Tag, channels, rate, bytes per second, block alignment, bits, extra size.
using Fields = std::tuple<int, int, std::uint32_t, std::uint32_t, int, int, int>;

// Counts the reads the reader makes and the bytes they return.
struct CountingSource : MemoryByteSource {
  explicit CountingSource(const std::string& file) : MemoryByteSource(file.data(), file.size()) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    const std::size_t got = MemoryByteSource::Read(buffer, size);
    bytes += got, ++reads;
    return got;
  }
  std::uint64_t bytes = 0, reads = 0;
};

// Only headers and the format record are read, a block of headers at a time: never through the
// megabytes of sample data, nor through more chunks than a real file holds. Every other chunk
// is skipped, whatever its id. (The layouts the output shows are in the lister_wave_layouts
// and probe_edges cases.)
TEST(WaveReaderTest, ReadsHeadersInBlocksAndSaysWhyItRefusesMalformedFiles) {
  const std::string pcm_fmt = Chunk("fmt ", FormatBody(1, 2, 44100, 16));
  const Fields pcm{1, 2, 44100, 176400, 4, 16, 0};
  // A 16-byte non-PCM chunk: its extra size is read from whatever follows it.
  const std::string float16_fmt = Chunk("fmt ", FormatBody(3, 1, 8000, 32));
  const std::string data = Chunk("data", std::string(10, 'x'));
  const std::string extensible =
      FormatBody(0xFFFE, 2, 96000, 24) + Le(22, 2) + std::string(22, 'x');
  const std::string pcm18 = FormatBody(1, 2, 44100, 16) + Le(0x7777, 2);  // PCM: no extra size
  std::string empty_chunks;
  for (int i = 0; i < 20000; ++i) empty_chunks += ChunkHeader("JUNK", 0);
  std::string spaced;  // every header a new read
  for (int i = 0; i < 50; ++i) spaced += Chunk("LIST", std::string(4088, 'x'));
  const struct {
    const char* name;
    std::string bytes;
    WaveProblem problem;  // kNone: read
    Fields format{};      // all zero: refused
    std::uint32_t data_size = 0;
    std::uint64_t max_reads = 8;
  } cases[] = {
      {"pcm, sample data before fmt", Riff(Chunk("data", std::string(1 << 20, 'x')) + pcm_fmt),
       WaveProblem::kNone, pcm, 1 << 20},
      {"pcm with an 18-byte fmt", Riff(Chunk("fmt ", pcm18) + Chunk("data", "")),
       WaveProblem::kNone, pcm, 0},
      {"extensible, 22 extra bytes", Riff(Chunk("fmt ", extensible) + data), WaveProblem::kNone,
       {0xFFFE, 2, 96000, 576000, 6, 24, 22}, 10},
      {"16-byte float fmt borrowing its extra size from the next chunk's id",
       Riff(float16_fmt + Chunk("JUNK", std::string(22000, 'x')) + data), WaveProblem::kNone,
       {3, 1, 8000, 32000, 4, 32, 'J' | ('U' << 8)}, 10},
      {"data header at the RIFF end, data past it", RiffSized(4 + 24 + 8, pcm_fmt + data),
       WaveProblem::kNone, pcm, 10},
      {"not RIFF", ChunkHeader("RIFX", 36) + "WAVE" + pcm_fmt + data,
       WaveProblem::kNotRiffWave},
      {"not WAVE", ChunkHeader("RIFF", 36) + "AVI " + pcm_fmt + data, WaveProblem::kNotRiffWave},
      {"no fmt chunk", Riff(data), WaveProblem::kNoFormatChunk},
      {"fmt cut short by the file end",
       Riff(ChunkHeader("fmt ", 16) + FormatBody(1, 1, 8000, 8).substr(0, 10)),
       WaveProblem::kBadFormatChunk},
      {"16-byte float fmt at the file end", Riff(data + float16_fmt), WaveProblem::kBadFormatChunk},
      {"data chunk after the RIFF end", RiffSized(4 + 24, pcm_fmt + data),
       WaveProblem::kNoDataChunk},
      {"data header straddling the RIFF end", RiffSized(4 + 24 + 7, pcm_fmt + data),
       WaveProblem::kNoDataChunk},
      {"child skipping past the RIFF end", Riff(pcm_fmt + ChunkHeader("LIST", 0xFFFFFFF0) + data),
       WaveProblem::kNoDataChunk},
      {"child running past the file end", RiffSized(0xFFFFFFFF, pcm_fmt + ChunkHeader("LIST", 99)),
       WaveProblem::kNoDataChunk},
      {"50 chunks of 4 KiB", Riff(pcm_fmt + spaced + data), WaveProblem::kNone, pcm, 10, 110},
      {"data after 20 000 empty chunks", Riff(pcm_fmt + empty_chunks + data),
       WaveProblem::kTooManyChunks, {}, 0, 700},
      {"fmt after 20 000 empty chunks", Riff(data + empty_chunks + pcm_fmt),
       WaveProblem::kTooManyChunks, {}, 0, 700},
  };
  WaveReader reader;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CountingSource source(c.bytes);
    EXPECT_EQ(c.format != Fields{}, reader.Open(source));
    EXPECT_EQ(c.problem, reader.problem());
    const WaveFormat& f = reader.format();  // a failed open leaves nothing behind
    EXPECT_EQ(c.format, Fields(f.format_tag, f.channel_count, f.samples_per_second,
                               f.average_bytes_per_second, f.block_align, f.bits_per_sample,
                               f.extra_size));
    EXPECT_EQ(c.data_size, reader.data_size());
    EXPECT_EQ(std::get<6>(c.format) != 0, reader.extra_data() != nullptr);
    EXPECT_LE(source.reads, c.max_reads);
    EXPECT_LE(source.bytes, c.max_reads * 512 + std::get<6>(c.format));  // blocks of 512
  }
}

}  // namespace
