#include <io.h>

#include <cstdint>
#include <cstdio>
#include <limits>

#include "probe/stream_seek.h"

bool SeekStream(std::FILE* stream, std::uint64_t offset) {
  // On Windows long is 32 bits even in 64-bit builds, so plain fseek stops at 2 GiB.
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<__int64>::max())) return false;
  return ::_fseeki64(stream, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool StreamSize(std::FILE* stream, std::uint64_t* size) {
  // ftell's long is 32 bits here; the descriptor's length is not.
  const __int64 length = ::_filelengthi64(::_fileno(stream));
  if (length < 0) return false;
  *size = static_cast<std::uint64_t>(length);
  return true;
}
