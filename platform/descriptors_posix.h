#pragma once

#include <string_view>

// POSIX only: descriptor calls shared by the platform's, the console's and the probe's POSIX
// files.

// `fd` moved to a number above the standard descriptors, close-on-exec. Where one of 0, 1 and 2
// was closed and /dev/null could not fill it (a minimal sandbox), a new descriptor takes its
// number, and console writes would land in it. -1 (and `fd` closed) when no other number is
// free; `fd` itself when it is -1 or above 2.
int AboveStandardDescriptors(int fd);

// Writes all of `bytes` to descriptor `fd`: goes on after a short write or an interrupted
// call, and waits until a non-blocking descriptor takes more. Returns 0, or the errno of the
// call that failed. Safe to call from a signal handler.
int WriteAll(int fd, std::string_view bytes);

// Reads one byte from descriptor `fd` into `*byte`, waiting for it also on a non-blocking
// descriptor. Returns 1, 0 at the end of input, or -1 on an error.
long ReadOneByte(int fd, char* byte);
