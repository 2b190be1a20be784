#pragma once

#include <string>
#include <vector>

// Each program defines this. The platform's entry point (main on POSIX, wmain on Windows)
// converts the command line to UTF-16 text, argument 0 first, calls it once and returns its
// result as the process exit code. On POSIX it first ignores SIGPIPE and SIGXFSZ, so that a
// write to a pipe without reader or past the file size limit fails with EPIPE or EFBIG, and
// opens /dev/null onto any of the descriptors 0, 1 and 2 that is closed, so no file the
// program opens takes their place.
int ProgramMain(const std::vector<std::u16string>& args);
