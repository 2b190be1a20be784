#include "probe/wave_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/wave_bytes.h"

namespace {

// Tag, channels, rate, bytes per second, block alignment, bits, extra size.
using Fields = std::tuple<int, int, std::uint32_t, std::uint32_t, int, int, int>;

Fields FieldsOf(const WaveFormat& f) {
  return {f.format_tag, f.channel_count, f.samples_per_second, f.average_bytes_per_second,
          f.block_align, f.bits_per_sample, f.extra_size};
}

// What the reader took from the memory it reads.
struct Traffic {
  std::uint64_t bytes = 0;
  std::uint64_t reads = 0;
};

class CountingSource : public MemoryByteSource {
 public:
  CountingSource(const std::string& bytes, Traffic* traffic)
      : MemoryByteSource(bytes.data(), bytes.size()), traffic_(traffic) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    const std::size_t got = MemoryByteSource::Read(buffer, size);
    traffic_->bytes += got;
    ++traffic_->reads;
    return got;
  }

 private:
  Traffic* traffic_;
};

bool OpenBytes(WaveReader& reader, const std::string& bytes, Traffic* traffic) {
  return reader.Open(std::make_unique<CountingSource>(bytes, traffic));
}

std::string Bytes(std::size_t count) { return std::string(count, '\x5A'); }

const std::string kPcmFmt = Chunk("fmt ", FormatBody(1, 2, 44100, 16));
const Fields kPcm{1, 2, 44100, 176400, 4, 16, 0};
// A 16-byte non-PCM chunk: its extra size is read from whatever follows it.
const std::string kFloat16Fmt = Chunk("fmt ", FormatBody(3, 1, 8000, 32));

// Only headers and the format record are read, a block of headers at a time: never through the
// megabytes of sample data, nor through more chunks than a real file holds. Every other chunk
// is skipped, whatever its id.
TEST(WaveReaderTest, ReadsHeadersInBlocksAndRefusesMalformedFiles) {
  std::string extensible = FormatBody(0xFFFE, 2, 96000, 24);
  AppendU16(extensible, 22);
  extensible += Bytes(22);
  std::string pcm18 = FormatBody(1, 2, 44100, 16);
  AppendU16(pcm18, 0x7777);  // PCM has no extra size: ignored
  std::string huge_extra = FormatBody(0xFFFE, 2, 44100, 16);
  AppendU16(huge_extra, 0xFFFF);
  const std::string data = Chunk("data", Bytes(10));
  const auto empty_chunks = [](std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += ChunkHeader("JUNK", 0);
    return out;
  };
  std::string spaced;  // every header a new read
  for (int i = 0; i < 50; ++i) spaced += Chunk("LIST", Bytes(4088));
  struct Case {
    const char* name;
    std::string bytes;
    Fields format{};  // all zero: refused
    std::uint32_t data_size = 0;
    std::uint64_t max_reads = 8;
  };
  const std::vector<Case> cases = {
      {"pcm, sample data before fmt", Riff(Chunk("data", Bytes(1 << 20)) + kPcmFmt), kPcm, 1 << 20},
      {"pcm with an 18-byte fmt", Riff(Chunk("fmt ", pcm18) + Chunk("data", "")), kPcm, 0},
      {"extensible, 22 extra bytes", Riff(Chunk("fmt ", extensible) + Chunk("data", Bytes(6))),
       {0xFFFE, 2, 96000, 576000, 6, 24, 22}, 6},
      {"odd chunks with pad bytes",
       Riff(Chunk("LIST", Bytes(5)) + kPcmFmt + Chunk("JUNK", Bytes(3)) + Chunk("data", Bytes(7))),
       kPcm, 7},
      {"16-byte float fmt borrowing its extra size from the next chunk's id",
       Riff(kFloat16Fmt + Chunk("JUNK", Bytes(22000)) + Chunk("data", Bytes(4))),
       {3, 1, 8000, 32000, 4, 32, 'J' | ('U' << 8)}, 4},
      {"data declaring more than present", Riff(kPcmFmt + ChunkHeader("data", 0xFFFFFFFF) + "ab"),
       kPcm, 0xFFFFFFFF},
      {"RIFF size beyond the file end", RiffSized(0xFFFFFFF0, kPcmFmt + data), kPcm, 10},
      {"data header ending at the RIFF end, data past it", RiffSized(4 + 24 + 8, kPcmFmt + data),
       kPcm, 10},
      {"not RIFF", ChunkHeader("RIFX", 36) + "WAVE" + kPcmFmt + data},
      {"not WAVE", ChunkHeader("RIFF", 36) + "AVI " + kPcmFmt + data},
      {"no fmt chunk", Riff(data)},
      {"fmt below 16 bytes", Riff(Chunk("fmt ", FormatBody(1, 1, 8000, 8).substr(0, 14)) + data)},
      {"fmt cut short by the file end",
       Riff(ChunkHeader("fmt ", 16) + FormatBody(1, 1, 8000, 8).substr(0, 10))},
      {"16-byte float fmt at the file end", Riff(data + kFloat16Fmt)},
      {"borrowed extra size outrunning the file", Riff(kFloat16Fmt + Chunk("data", Bytes(100)))},
      {"extra size 65535, none present", Riff(Chunk("fmt ", huge_extra) + data)},
      {"no data chunk", Riff(kPcmFmt + Chunk("LIST", Bytes(4)))},
      {"data chunk after the RIFF end", RiffSized(4 + 24, kPcmFmt + data)},
      {"data header straddling the RIFF end", RiffSized(4 + 24 + 7, kPcmFmt + data)},
      {"child skipping past the RIFF end", Riff(kPcmFmt + ChunkHeader("LIST", 0xFFFFFFF0) + data)},
      {"RIFF size beyond the file end, no data", RiffSized(0xFFFFFFFF, kPcmFmt + Bytes(5))},
      {"child running past the file end", RiffSized(0xFFFFFFFF, kPcmFmt + ChunkHeader("LIST", 99))},
      {"id 00000000", Riff(kPcmFmt + Chunk(std::string(4, '\0'), "ab") + data), kPcm, 10},
      {"id FF 'jnk'", Riff(Chunk("\xFFjnk", "ab") + kPcmFmt + data), kPcm, 10},
      {"5000 empty chunks", Riff(kPcmFmt + empty_chunks(5000) + data), kPcm, 10, 200},
      {"50 chunks of 4 KiB", Riff(kPcmFmt + spaced + data), kPcm, 10, 110},
      {"data after 20 000 empty chunks", Riff(kPcmFmt + empty_chunks(20000) + data), {}, 0, 700},
      {"fmt after 20 000 empty chunks", Riff(data + empty_chunks(20000) + kPcmFmt), {}, 0, 700},
  };
  WaveReader reader;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Traffic traffic;
    EXPECT_EQ(c.format != Fields{}, OpenBytes(reader, c.bytes, &traffic));
    EXPECT_EQ(c.format, FieldsOf(reader.format()));  // a failed open leaves nothing behind
    EXPECT_EQ(c.data_size, reader.data_size());
    EXPECT_EQ(std::get<6>(c.format) != 0, reader.extra_data() != nullptr);
    EXPECT_LE(traffic.reads, c.max_reads);
    EXPECT_LE(traffic.bytes, c.max_reads * 512 + std::get<6>(c.format));  // blocks of 512
  }
}

}  // namespace
