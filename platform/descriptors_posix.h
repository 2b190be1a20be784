#pragma once

// POSIX only: shared by the platform's and the probe's POSIX files.

// `fd` moved to a number above the standard descriptors, close-on-exec. Where one of 0, 1 and 2
// was closed and /dev/null could not fill it (a minimal sandbox), a new descriptor takes its
// number, and console writes would land in it. -1 (and `fd` closed) when no other number is
// free; `fd` itself when it is -1 or above 2.
int AboveStandardDescriptors(int fd);
