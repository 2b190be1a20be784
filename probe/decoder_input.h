#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "probe/recording_byte_source.h"

// One file as the Ogg route reads it: first the checks through source(), then the decoder
// through stream(), which gives it exactly the bytes the checks read, so that it never parses a
// byte the checks did not see, even when another program rewrites the file in between.
// - POSIX: the bytes the checks read (the header pages up to the end of the first audio
//   packet, and the file's last 64 KiB) are kept in memory as they were read, and the decoder
//   reads them through a stream over that memory, as it would the file itself. Where the
//   checks read nothing, it finds the end of the file.
// - Windows: the file is open so that nobody can write to it (FileSharing::kWritersKeptOut),
//   and the decoder reads it.
class DecoderInput {
 public:
  // The Ogg route's reading of `file`, which must outlive the input and, on Windows, have been
  // opened with FileSharing::kWritersKeptOut; the file's position is the input's from now on.
  // Returns nullptr when the file's size cannot be told. `may_keep`, when given, is asked
  // before the memory holding the kept bytes grows (see kept_bytes()); when it refuses, the
  // checks find an early end and cut_short() tells so.
  static std::unique_ptr<DecoderInput> Open(
      FileByteSource& file, const RecordingByteSource::KeepAllowance& may_keep = {});

  virtual ~DecoderInput() = default;

  // The file for the checks, as size() bytes.
  virtual ByteSource& source() = 0;

  // The file's size when it was opened. The checks and the decoder both see the file as this
  // long, whether it has grown since or not; where it has shrunk, both find its new end.
  virtual std::uint64_t size() const = 0;

  // After the checks: a stream at offset 0 for the decoder, clear of end-of-file and error
  // indicators, with the same size. Owned by this object, valid while it lives; each call
  // gives it again from the start. nullptr when it cannot be made, or when memory ran out
  // while the checks read (the decoder could find an end where the checks found none).
  virtual std::FILE* stream() = 0;

  // Bytes of memory holding what the checks read, for the decoder (0 on Windows, which reads
  // the file): at most about kMaxVorbisHeaderBytes + kMaxFirstAudioBytes + 64 KiB, where the
  // checks stop reading, and up to 4 MiB more, the unfilled end of a large header's last
  // block. A large comment header is held twice: here, and in the decoder's memory area,
  // which it is copied into.
  virtual std::uint64_t kept_bytes() const = 0;

  // True when `may_keep` refused to keep more: the checks' verdict says nothing about the file,
  // and stream() gives nullptr.
  virtual bool cut_short() const = 0;
};
