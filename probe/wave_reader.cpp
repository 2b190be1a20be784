#include "probe/wave_reader.h"

#include <cstring>
#include <new>

#include "probe/little_endian.h"

namespace {

constexpr std::uint64_t kChunkHeaderSize = 8;
constexpr std::uint32_t kFormatSize = 16;  // the fields up to bits per sample
constexpr std::uint16_t kFormatTagPcm = 1;
// Small enough that the block read for the headers of a typical file costs nothing, large
// enough that a run of tiny chunks costs one read per 64 headers.
constexpr std::size_t kWalkBlockSize = 512;

bool SameId(const char (&id)[4], const char (&expected)[5]) {
  return std::memcmp(id, expected, 4) == 0;
}

}  // namespace

bool WaveReader::Open(ByteSource& source) {
  Close();
  source_ = &source;
  problem_ = ReadHeader();
  if (problem_ != WaveProblem::kNone) {
    Close();
    return false;
  }
  return true;
}

void WaveReader::Close() {
  source_ = nullptr;
  riff_end_ = 0;
  format_ = WaveFormat{};
  extra_data_.reset();
  data_size_ = 0;
}

WaveProblem WaveReader::ReadHeader() {
  ChunkHeader riff{};
  char form_type[4];
  if (!source_->Seek(0) || !ReadChunkHeader(&riff) || !SameId(riff.id, "RIFF") ||
      !ReadExact(form_type, sizeof form_type) || !SameId(form_type, "WAVE")) {
    return WaveProblem::kNotRiffWave;
  }
  riff_end_ = riff.data_offset + riff.size;
  const std::uint64_t children_start = riff.data_offset + 4;

  ChunkHeader fmt{};
  const WaveProblem format = FindChunk(children_start, "fmt ", WaveProblem::kNoFormatChunk, &fmt);
  if (format != WaveProblem::kNone) return format;
  // Leave the format chunk at its declared end, wherever the reads stopped.
  if (!source_->Seek(fmt.data_offset) || !ReadFormat(fmt) || !source_->Seek(fmt.end())) {
    return WaveProblem::kBadFormatChunk;
  }

  // `data` may precede `fmt `, so the second search starts over.
  ChunkHeader data{};
  const WaveProblem found = FindChunk(children_start, "data", WaveProblem::kNoDataChunk, &data);
  data_size_ = data.size;
  return found;
}

bool WaveReader::ReadChunkHeader(ChunkHeader* header) {
  const std::uint64_t start = source_->Tell();
  std::uint8_t bytes[kChunkHeaderSize];
  if (!ReadExact(bytes, sizeof bytes)) return false;
  *header = DecodeChunkHeader(bytes, start);
  return true;
}

WaveReader::ChunkHeader WaveReader::DecodeChunkHeader(const std::uint8_t* bytes,
                                                      std::uint64_t start) {
  ChunkHeader header{};
  std::memcpy(header.id, bytes, 4);
  header.size = LoadLe32(bytes + 4);
  header.data_offset = start + kChunkHeaderSize;
  header.pad = header.size & 1;
  return header;
}

WaveProblem WaveReader::FindChunk(std::uint64_t position, const char (&id)[5],
                                  WaveProblem missing, ChunkHeader* found) {
  std::uint8_t block[kWalkBlockSize];
  std::uint64_t block_start = 0;
  std::size_t block_size = 0;
  for (std::uint32_t visited = 0; visited < kMaxWaveChunkHeaders; ++visited) {
    // A child counts only when its whole header lies inside the RIFF chunk.
    if (position > riff_end_ || riff_end_ - position < kChunkHeaderSize) return missing;
    // Positions only grow, so a header is either in the block or past its start.
    if (position - block_start + kChunkHeaderSize > block_size) {
      if (!source_->Seek(position)) return missing;
      block_start = position;
      block_size = source_->Read(block, sizeof block);
      if (block_size < kChunkHeaderSize) return missing;
    }
    const std::uint8_t* bytes = block + (position - block_start);
    const ChunkHeader header = DecodeChunkHeader(bytes, position);
    if (SameId(header.id, id)) {
      *found = header;
      return WaveProblem::kNone;
    }
    // Every step moves forward by at least a header, so the walk ends at the RIFF end.
    position = header.end();
  }
  return WaveProblem::kTooManyChunks;
}

bool WaveReader::ReadFormat(const ChunkHeader& fmt) {
  if (fmt.size < kFormatSize) return false;
  std::uint8_t bytes[kFormatSize];
  if (!ReadExact(bytes, sizeof bytes)) return false;
  format_.format_tag = LoadLe16(bytes);
  format_.channel_count = LoadLe16(bytes + 2);
  format_.samples_per_second = LoadLe32(bytes + 4);
  format_.average_bytes_per_second = LoadLe32(bytes + 8);
  format_.block_align = LoadLe16(bytes + 12);
  format_.bits_per_sample = LoadLe16(bytes + 14);
  if (format_.format_tag == kFormatTagPcm) return true;

  // Deliberately not bounded by the chunk's size: a 16-byte non-PCM chunk takes its extra
  // size from the bytes that follow it.
  std::uint8_t extra_size[2];
  if (!ReadExact(extra_size, sizeof extra_size)) return false;
  format_.extra_size = LoadLe16(extra_size);
  if (format_.extra_size == 0) return true;
  extra_data_.reset(new (std::nothrow) std::uint8_t[format_.extra_size]);
  return extra_data_ != nullptr && ReadExact(extra_data_.get(), format_.extra_size);
}

bool WaveReader::ReadExact(void* buffer, std::size_t size) {
  return source_->Read(buffer, size) == size;
}
