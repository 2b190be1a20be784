#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "probe/byte_source.h"
#include "probe/decoder_memory.h"

// Reads another source as a file of a size fixed in advance, and keeps every byte it reads, so
// that later readers see exactly those bytes whatever happens to the file in the meantime: a
// byte is read from the other source once, and from memory after that.
class RecordingByteSource : public ByteSource {
 public:
  // Asked before the memory holding the kept bytes grows, with the bytes it would then hold
  // (see kept_bytes()); false refuses the growth.
  using KeepAllowance = std::function<bool(std::uint64_t kept_bytes)>;

  // Reads `inner`, which must outlive this, as `size` bytes: reads at or beyond `size` return
  // 0, even when the file has grown. `may_keep`, when given, bounds the memory it keeps.
  RecordingByteSource(ByteSource& inner, std::uint64_t size, KeepAllowance may_keep = {});

  std::size_t Read(void* buffer, std::size_t size) override;
  bool Seek(std::uint64_t offset) override;
  std::uint64_t Tell() const override { return position_; }

  // Copies into `buffer` up to `size` kept bytes from `offset` on, stopping before the first
  // byte never read (or the end). Returns how many it copied: 0 where nothing was read.
  std::size_t ReadKept(std::uint64_t offset, void* buffer, std::size_t size) const;

  // The size given at construction.
  std::uint64_t size() const { return size_; }

  // Bytes of memory holding the kept bytes: more than their count by the unfilled end of each
  // run's last block (under 64 KiB, or under 4 MiB for a run longer than 4 MiB).
  std::uint64_t kept_bytes() const { return kept_bytes_; }

  // False once memory ran out, or `may_keep` refused it, to keep the bytes read: Read has
  // returned nothing since, so what it returned is all kept, but a reader may have taken the
  // early end for the file's.
  bool complete() const { return complete_; }
  // True when that was `may_keep`'s refusal.
  bool refused() const { return refused_; }

 private:
  // Bytes kept from `start` on, in blocks: kBlocks of kBlockBytes, then blocks of
  // kLargeBlockBytes (the last one filled in part), so that the memory grows without copying.
  struct Run {
    std::uint64_t end;
    std::vector<DecoderMemory> blocks;
  };
  static constexpr std::size_t kBlockBytes = std::size_t{1} << 16;
  static constexpr std::size_t kBlocks = 64;
  // The smallest size AllocateDecoderMemory backs with huge pages, where the platform has them.
  static constexpr std::size_t kLargeBlockBytes = kBlocks * kBlockBytes;
  // The block holding the byte `from` bytes into a run, and where in it.
  static std::size_t BlockOf(std::uint64_t from, std::size_t* within);
  static std::size_t BlockBytes(std::size_t block) {
    return block < kBlocks ? kBlockBytes : kLargeBlockBytes;
  }

  // Keeps `size` bytes read at `offset`, where nothing is kept yet: after the run that ends
  // there, or in a new run. Returns how many it kept: fewer when memory ran out.
  std::size_t Keep(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size);

  ByteSource& inner_;
  std::uint64_t size_;
  std::uint64_t position_ = 0;
  std::map<std::uint64_t, Run> runs_;  // by start; runs never overlap
  KeepAllowance may_keep_;
  std::uint64_t kept_bytes_ = 0;
  bool complete_ = true;
  bool refused_ = false;
};
