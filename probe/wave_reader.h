#pragma once

#include <cstdint>
#include <memory>

#include "probe/byte_source.h"

// The standard wave format header: the `fmt ` chunk's fields.
struct WaveFormat {
  std::uint16_t format_tag = 0;  // 1 = integer PCM
  std::uint16_t channel_count = 0;
  std::uint32_t samples_per_second = 0;
  std::uint32_t average_bytes_per_second = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits_per_sample = 0;
  std::uint16_t extra_size = 0;  // bytes of codec-specific data; always 0 for PCM
};

// Chunk headers one search visits at most before it gives up.
inline constexpr std::uint32_t kMaxWaveChunkHeaders = 16384;

// Why a file is not a WAVE file by the rules below.
enum class WaveProblem {
  kNone,
  kNotRiffWave,     // no RIFF chunk of form type WAVE at the start
  kNoFormatChunk,   // no `fmt ` chunk among the RIFF chunk's children
  kBadFormatChunk,  // a `fmt ` chunk under 16 bytes, or cut short by the end of the file
  kNoDataChunk,     // no `data` chunk among them
  kTooManyChunks,   // a search gave up after kMaxWaveChunkHeaders chunk headers
};

// Reads the header of a RIFF/WAVE file: its format record and the declared size of its `data`
// chunk. Reads chunk headers and the format record only, never through sample data.
//
// Walking rules:
// - The file must start with a `RIFF` chunk whose form type is `WAVE`.
// - `fmt ` and then `data` are each searched among the RIFF chunk's children, starting just
//   after the form type (so `data` may come before `fmt `). Each child's data and pad byte
//   are skipped.
// - A child is considered only when its whole 8-byte header lies inside the RIFF chunk's
//   declared end. Its data may run past that end or past the end of the file: a `data` chunk
//   declaring more bytes than are present still reports its declared size.
// - A RIFF size beyond the end of the file is accepted; a search then ends at the real end,
//   where no full chunk header can be read.
// - Every child whose id differs is skipped, whatever its id. A search gives up after
//   kMaxWaveChunkHeaders chunk headers, far more than any real file holds; this bounds the walk
//   through a long run of empty chunks or zeros. Headers are read a block at a time, so a run of
//   small chunks costs one read per block, not a seek and a read per chunk.
// - The `fmt ` chunk must declare at least 16 bytes, and those 16 bytes must be present. For a
//   format tag other than 1, a 2-byte extra size and then that many bytes follow; they are read
//   from the position after the 16 bytes even when that lies past the chunk's declared end
//   (an old 16-byte non-PCM chunk then takes them from whatever follows). The reader then
//   moves to the chunk's declared end plus pad byte, which fails only when the source cannot
//   seek there.
// - The RIFF chunk's declared end is its data offset plus its size; an odd size adds no pad.
class WaveReader {
 public:
  WaveReader() = default;
  ~WaveReader() { Close(); }
  WaveReader(const WaveReader&) = delete;
  WaveReader& operator=(const WaveReader&) = delete;

  // Reads the header of the file `source` gives, which must outlive the reader or its Close.
  // False when it is not a WAVE file by the rules above; the reader is then closed, and
  // problem() says why.
  bool Open(ByteSource& source);

  // Why the last Open failed; kNone after one that succeeded, or before any.
  WaveProblem problem() const { return problem_; }

  // Releases the source and the format record. Does nothing when already closed.
  void Close();

  // The `data` chunk's declared size in bytes; 0 unless open.
  std::uint32_t data_size() const { return data_size_; }
  // The format record; all zero unless open.
  const WaveFormat& format() const { return format_; }
  // The format's format().extra_size bytes of codec-specific data; nullptr when there are none.
  const std::uint8_t* extra_data() const { return extra_data_.get(); }

 private:
  struct ChunkHeader {
    char id[4];
    std::uint32_t size;
    std::uint64_t data_offset;  // position just after the 8-byte header
    std::uint32_t pad;          // 1 when size is odd: one pad byte follows the data
    std::uint64_t end() const { return data_offset + size + pad; }
  };

  WaveProblem ReadHeader();
  bool ReadChunkHeader(ChunkHeader* header);
  // The 8 header bytes of the chunk that starts at file offset `start`.
  static ChunkHeader DecodeChunkHeader(const std::uint8_t* bytes, std::uint64_t start);
  // kNone when found; else `missing`, or kTooManyChunks when the search gave up.
  WaveProblem FindChunk(std::uint64_t position, const char (&id)[5], WaveProblem missing,
                        ChunkHeader* found);
  bool ReadFormat(const ChunkHeader& fmt);
  bool ReadExact(void* buffer, std::size_t size);

  ByteSource* source_ = nullptr;
  std::uint64_t riff_end_ = 0;  // the RIFF chunk's declared end, which bounds its children
  WaveFormat format_;
  std::unique_ptr<std::uint8_t[]> extra_data_;
  std::uint32_t data_size_ = 0;
  WaveProblem problem_ = WaveProblem::kNone;
};
