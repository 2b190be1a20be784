#include "probe/recording_byte_source.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <utility>

RecordingByteSource::RecordingByteSource(ByteSource& inner, std::uint64_t size,
                                         KeepAllowance may_keep)
    : inner_(inner), size_(size), may_keep_(std::move(may_keep)) {}

std::size_t RecordingByteSource::Read(void* buffer, std::size_t size) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size && complete_ && position_ < size_) {
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(size - done, size_ - position_));
    std::size_t count = ReadKept(position_, out + done, wanted);
    bool file_ended = false;
    if (count == 0) {
      // From the file, but never over bytes kept already: those may have changed there since.
      std::uint64_t end = position_ + wanted;
      const auto next = runs_.upper_bound(position_);
      if (next != runs_.end()) end = std::min(end, next->first);
      const std::size_t asked = static_cast<std::size_t>(end - position_);
      if (inner_.Tell() != position_ && !inner_.Seek(position_)) break;
      const std::size_t got = inner_.Read(out + done, asked);
      count = Keep(position_, out + done, got);
      if (count < got) complete_ = false;
      file_ended = got < asked;
    }
    position_ += count;
    done += count;
    if (file_ended) break;
  }
  return done;
}

bool RecordingByteSource::Seek(std::uint64_t offset) {
  position_ = offset;
  return true;
}

std::size_t RecordingByteSource::ReadKept(std::uint64_t offset, void* buffer,
                                          std::size_t size) const {
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  auto run = runs_.upper_bound(offset);
  if (run == runs_.begin()) return 0;
  --run;
  // Runs can meet end to end (a read reaching bytes kept before): go on into the next one.
  for (; run != runs_.end() && done < size; ++run) {
    const std::uint64_t at = offset + done;
    const std::uint64_t start = run->first;
    const Run& kept = run->second;
    if (at < start || at >= kept.end) break;
    const std::size_t count =
        static_cast<std::size_t>(std::min<std::uint64_t>(size - done, kept.end - at));
    for (std::size_t copied = 0; copied < count;) {
      std::size_t within = 0;
      const std::size_t block = BlockOf(at + copied - start, &within);
      const std::size_t part = std::min(count - copied, BlockBytes(block) - within);
      std::memcpy(out + done + copied, kept.blocks[block].get() + within, part);
      copied += part;
    }
    done += count;
  }
  return done;
}

std::size_t RecordingByteSource::BlockOf(std::uint64_t from, std::size_t* within) {
  if (from < kLargeBlockBytes) {
    *within = static_cast<std::size_t>(from % kBlockBytes);
    return static_cast<std::size_t>(from / kBlockBytes);
  }
  *within = static_cast<std::size_t>((from - kLargeBlockBytes) % kLargeBlockBytes);
  return kBlocks + static_cast<std::size_t>((from - kLargeBlockBytes) / kLargeBlockBytes);
}

std::size_t RecordingByteSource::Keep(std::uint64_t offset, const std::uint8_t* bytes,
                                      std::size_t size) {
  if (size == 0) return 0;
  auto run = runs_.lower_bound(offset);
  if (run != runs_.begin() && std::prev(run)->second.end == offset) {
    --run;
  } else {
    run = runs_.emplace(offset, Run{offset, {}}).first;
  }
  const std::uint64_t start = run->first;
  Run& kept = run->second;
  std::size_t done = 0;
  while (done < size) {
    std::size_t within = 0;
    const std::size_t block = BlockOf(kept.end - start, &within);
    const std::size_t block_bytes = BlockBytes(block);
    if (within == 0) {
      // Blocks rather than one growing buffer: a buffer that doubles would briefly need three
      // times the header bytes, and a large comment header holds up to 64 MiB. Those take
      // large blocks, whose pages the system gives in fewer, larger steps.
      if (may_keep_ && !may_keep_(kept_bytes_ + block_bytes)) {
        refused_ = true;
        break;
      }
      DecoderMemory memory = AllocateDecoderMemory(block_bytes);
      if (memory == nullptr) break;
      kept.blocks.push_back(std::move(memory));
      kept_bytes_ += block_bytes;
    }
    const std::size_t part = std::min(size - done, block_bytes - within);
    std::memcpy(kept.blocks.back().get() + within, bytes + done, part);
    kept.end += part;
    done += part;
  }
  if (kept.end == start) runs_.erase(run);
  return done;
}
