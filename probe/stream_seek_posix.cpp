#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <limits>

#include "probe/stream_seek.h"

bool SeekStream(std::FILE* stream, std::uint64_t offset) {
  // fseek takes a long; fseeko takes the full off_t.
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
  return ::fseeko(stream, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool StreamSize(std::FILE* stream, std::uint64_t* size) {
  struct stat status;
  if (::fstat(::fileno(stream), &status) != 0 || status.st_size < 0) return false;
  *size = static_cast<std::uint64_t>(status.st_size);
  return true;
}
