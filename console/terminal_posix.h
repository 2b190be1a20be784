#pragma once

#include <string_view>

// The POSIX console's reads and writes on its terminal or redirected descriptors.

// Writes all of `bytes` to descriptor `fd`: goes on after a short write or an interrupted
// call, and waits until a non-blocking descriptor takes more. Returns 0, or the errno of the
// call that failed. Safe to call from a signal handler.
int WriteAll(int fd, std::string_view bytes);

// Reads one byte from descriptor `fd` into `byte`, waiting for it also on a non-blocking
// descriptor. Returns 1, 0 at the end of input, or -1 on an error.
long ReadOneByte(int fd, char& byte);
