#pragma once

#include <string>
#include <vector>

// Each program defines this. The platform's entry point (main on POSIX, wmain on Windows)
// converts the command line to UTF-16 text, argument 0 first, calls it once and returns its
// result as the process exit code.
int ProgramMain(const std::vector<std::u16string>& args);
