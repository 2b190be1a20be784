#pragma once

#include <cstdint>
#include <cstdio>

// Moves `stream` to the absolute byte `offset`, which may lie beyond 4 GiB and beyond the end
// of the file. Clears the end-of-file indicator. False when the platform cannot seek there.
bool SeekStream(std::FILE* stream, std::uint64_t offset);

// The size in bytes of the file open as `stream`, beyond 4 GiB too. False when the platform
// cannot tell.
bool StreamSize(std::FILE* stream, std::uint64_t* size);
