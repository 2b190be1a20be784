#include "probe/wave_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "probe/wave_test_bytes.h"
#include "tests/support/test_support.h"

namespace {

// Tag 3 with the 2-byte extra size 0 that most writers add.
std::string FloatFmt() {
  std::string body = FormatBody(Format(3, 2, 48000, 32));
  AppendU16(body, 0);
  return Chunk("fmt ", body);
}

// WAVE_FORMAT_EXTENSIBLE: 22 extra bytes (valid bits, channel mask, sub-format GUID).
std::string ExtensibleBody() {
  std::string body = FormatBody(Format(0xFFFE, 2, 96000, 24));
  AppendU16(body, 22);
  AppendU16(body, 24);
  AppendU32(body, 3);
  body += std::string("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
  return body;
}

std::string Bytes(std::size_t count) { return std::string(count, '\x5A'); }

// Counts the bytes the reader takes from the memory it reads.
class CountingSource : public ByteSource {
 public:
  CountingSource(const std::string& bytes, std::uint64_t* bytes_read)
      : memory_(bytes.data(), bytes.size()), bytes_read_(bytes_read) {}
  std::size_t Read(void* buffer, std::size_t size) override {
    const std::size_t count = memory_.Read(buffer, size);
    *bytes_read_ += count;
    return count;
  }
  bool Seek(std::uint64_t offset) override { return memory_.Seek(offset); }
  std::uint64_t Tell() const override { return memory_.Tell(); }

 private:
  MemoryByteSource memory_;
  std::uint64_t* bytes_read_;
};

bool OpenBytes(WaveReader& reader, const std::string& bytes) {
  return reader.Open(std::make_unique<MemoryByteSource>(bytes.data(), bytes.size()));
}

void ExpectFormat(const WaveFormat& expected, const WaveFormat& actual) {
  EXPECT_EQ(expected.format_tag, actual.format_tag);
  EXPECT_EQ(expected.channel_count, actual.channel_count);
  EXPECT_EQ(expected.samples_per_second, actual.samples_per_second);
  EXPECT_EQ(expected.average_bytes_per_second, actual.average_bytes_per_second);
  EXPECT_EQ(expected.block_align, actual.block_align);
  EXPECT_EQ(expected.bits_per_sample, actual.bits_per_sample);
  EXPECT_EQ(expected.extra_size, actual.extra_size);
}

TEST(WaveReaderTest, ReadsWellFormedAndToleratedFiles) {
  const WaveFormat pcm16 = Format(1, 2, 44100, 16);
  const std::string pcm_fmt = Fmt(pcm16);
  // "JU" of the chunk id that follows a 16-byte non-PCM fmt chunk, read as its extra size.
  const std::uint16_t borrowed_extra = 'J' | ('U' << 8);
  std::string pcm18_body = FormatBody(pcm16);
  AppendU16(pcm18_body, 0x7777);  // ignored: PCM has no extra data

  struct Case {
    const char* name;
    std::string bytes;
    WaveFormat format;
    std::uint32_t data_size;
  };
  const std::vector<Case> cases = {
      {"pcm 16-bit stereo 44.1k", Riff(pcm_fmt + Chunk("data", Bytes(1000))), pcm16, 1000},
      {"pcm 8-bit mono, odd data", Riff(Fmt(Format(1, 1, 8000, 8)) + Chunk("data", Bytes(501))),
       Format(1, 1, 8000, 8), 501},
      {"pcm 24-bit stereo", Riff(Fmt(Format(1, 2, 48000, 24)) + Chunk("data", Bytes(60))),
       Format(1, 2, 48000, 24), 60},
      {"pcm with an 18-byte fmt", Riff(Chunk("fmt ", pcm18_body) + Chunk("data", Bytes(8))),
       pcm16, 8},
      {"float, extra size 0", Riff(FloatFmt() + Chunk("data", Bytes(16))),
       Format(3, 2, 48000, 32), 16},
      {"extensible, 22 extra bytes", Riff(Chunk("fmt ", ExtensibleBody()) + Chunk("data", "")),
       Format(0xFFFE, 2, 96000, 24, 22), 0},
      {"data before fmt", Riff(Chunk("data", Bytes(44)) + pcm_fmt), pcm16, 44},
      {"odd LIST chunks with pad bytes",
       Riff(Chunk("LIST", Bytes(5)) + pcm_fmt + Chunk("LIST", Bytes(3)) + Chunk("data", Bytes(2))),
       pcm16, 2},
      {"16-byte float fmt borrowing its extra size from the next chunk",
       Riff(Chunk("fmt ", FormatBody(Format(3, 1, 8000, 32))) + Chunk("JUNK", Bytes(22000)) +
            Chunk("data", Bytes(4))),
       Format(3, 1, 8000, 32, borrowed_extra), 4},
      {"data declaring more than present", Riff(pcm_fmt + ChunkHeader("data", 1000000) + "ab"),
       pcm16, 1000000},
      {"data size near 4 GiB", Riff(pcm_fmt + ChunkHeader("data", 0xFFFFFFFF)), pcm16,
       0xFFFFFFFF},
      {"RIFF size beyond the file end",
       RiffSized(0xFFFFFFF0, pcm_fmt + Chunk("data", Bytes(10))), pcm16, 10},
      {"data header ending exactly at the RIFF end, data past it",
       RiffSized(static_cast<std::uint32_t>(4 + pcm_fmt.size() + 8),
                 pcm_fmt + Chunk("data", Bytes(20))),
       pcm16, 20},
      {"zero average bytes per second",
       Riff(Chunk("fmt ", FormatBody(Format(1, 2, 0, 16))) + Chunk("data", Bytes(4))),
       Format(1, 2, 0, 16), 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WaveReader reader;
    ASSERT_TRUE(OpenBytes(reader, c.bytes));
    EXPECT_TRUE(reader.is_open());
    EXPECT_EQ(c.data_size, reader.data_size());
    ExpectFormat(c.format, reader.format());
    EXPECT_EQ(c.format.extra_size != 0, reader.extra_data() != nullptr);
  }
}

TEST(WaveReaderTest, RefusesMalformedFiles) {
  const std::string pcm_fmt = Fmt(Format(1, 2, 44100, 16));
  const std::string data = Chunk("data", Bytes(10));
  std::string huge_extra = FormatBody(Format(0xFFFE, 2, 44100, 16));
  AppendU16(huge_extra, 0xFFFF);
  const std::string float16_fmt = Chunk("fmt ", FormatBody(Format(3, 1, 8000, 32)));

  struct Case {
    const char* name;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"shorter than a chunk header", "RIFF"},
      {"not RIFF", ChunkHeader("RIFX", 36) + "WAVE" + pcm_fmt + data},
      {"not WAVE", ChunkHeader("RIFF", 36) + "AVI " + pcm_fmt + data},
      {"no form type", ChunkHeader("RIFF", 4) + "WA"},
      {"no fmt chunk", Riff(data)},
      {"fmt below 16 bytes", Riff(Chunk("fmt ", FormatBody(Format(1, 1, 8000, 8)).substr(0, 14)) +
                                  data)},
      {"fmt cut short by the file end",
       Riff(ChunkHeader("fmt ", 16) + FormatBody(Format(1, 1, 8000, 8)).substr(0, 10))},
      {"16-byte float fmt at the file end, no extra size to read", Riff(data + float16_fmt)},
      {"16-byte float fmt whose borrowed extra size outruns the file",
       Riff(float16_fmt + Chunk("data", Bytes(100)))},
      {"extra size 65535 with 0 extra bytes present", Riff(Chunk("fmt ", huge_extra) + data)},
      {"no data chunk", Riff(pcm_fmt + Chunk("LIST", Bytes(4)))},
      {"data chunk after the RIFF end",
       RiffSized(static_cast<std::uint32_t>(4 + pcm_fmt.size()), pcm_fmt + data)},
      {"data header straddling the RIFF end",
       RiffSized(static_cast<std::uint32_t>(4 + pcm_fmt.size() + 7), pcm_fmt + data)},
      {"fmt header straddling the RIFF end", RiffSized(4 + 7, pcm_fmt + data)},
      {"RIFF size 0", RiffSized(0, pcm_fmt + data)},
      {"chunk skipping past the RIFF end", Riff(pcm_fmt + ChunkHeader("LIST", 0xFFFFFFF0) + data)},
      {"RIFF size beyond the file end, no data", RiffSized(0xFFFFFFFF, pcm_fmt + Bytes(5))},
      {"zero chunk id before data", Riff(pcm_fmt + Chunk(std::string(4, '\0'), "") + data)},
      {"chunk id with 0x7F", Riff(pcm_fmt + Chunk("LIS\x7F", "ab") + data)},
      {"chunk id with 0x1F", Riff(Chunk("\x1F" "abc", "") + pcm_fmt + data)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WaveReader reader;
    EXPECT_FALSE(OpenBytes(reader, c.bytes));
    EXPECT_FALSE(reader.is_open());
    EXPECT_EQ(0u, reader.data_size());
    EXPECT_EQ(nullptr, reader.extra_data());
  }
}

TEST(WaveReaderTest, ReadsHeadersOnly) {
  // Only the headers are taken: 12 (RIFF) + 8 (data header) + 8 + 16 (fmt) + 8 (data again).
  // A search through zeros ends at the first zero id instead of walking them.
  const std::string pcm_fmt = Fmt(Format(1, 2, 44100, 16));
  struct Case {
    const char* name;
    std::string bytes;
    bool opens;
    std::uint64_t max_bytes_read;
  };
  const std::vector<Case> cases = {
      {"sample data before fmt", Riff(Chunk("data", Bytes(1 << 20)) + pcm_fmt), true, 52},
      {"a megabyte of zeros, no data chunk",
       RiffSized(0xFFFFFFFF, pcm_fmt + std::string(1 << 20, '\0')), false, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint64_t bytes_read = 0;
    WaveReader reader;
    EXPECT_EQ(c.opens, reader.Open(std::make_unique<CountingSource>(c.bytes, &bytes_read)));
    EXPECT_LE(bytes_read, c.max_bytes_read);
  }
}

TEST(WaveReaderTest, KeepsExtraDataAndForgetsItOnClose) {
  const std::string bytes = Riff(Chunk("fmt ", ExtensibleBody()) + Chunk("data", Bytes(6)));
  WaveReader reader;
  ASSERT_TRUE(OpenBytes(reader, bytes));
  ASSERT_NE(nullptr, reader.extra_data());
  const std::string expected_extra = ExtensibleBody().substr(18);
  EXPECT_EQ(expected_extra,
            std::string(reinterpret_cast<const char*>(reader.extra_data()), 22));

  reader.Close();
  reader.Close();
  EXPECT_FALSE(reader.is_open());
  EXPECT_EQ(0u, reader.data_size());
  EXPECT_EQ(0u, reader.format().format_tag);
  EXPECT_EQ(nullptr, reader.extra_data());

  // A failed open after a good one leaves nothing of the earlier file behind.
  ASSERT_TRUE(OpenBytes(reader, bytes));
  EXPECT_FALSE(OpenBytes(reader, Riff(Chunk("data", Bytes(6)))));
  EXPECT_EQ(0u, reader.format().extra_size);
  EXPECT_EQ(nullptr, reader.extra_data());
}

}  // namespace
