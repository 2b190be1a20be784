#include <string>
#include <vector>

#include "platform/entry.h"

// Linked with -municode, so the runtime hands over the command line as UTF-16 already;
// wchar_t is 16 bits on Windows and the code units are copied as they are.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> args;
  args.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
  for (int i = 0; i < argc; ++i) {
    const std::wstring_view arg(argv[i]);
    args.emplace_back(arg.begin(), arg.end());
  }
  return ProgramMain(args);
}
