#include <string>
#include <vector>

#include "platform/entry.h"
#include "platform/utf.h"

int main(int argc, char** argv) {
  std::vector<std::u16string> args;
  args.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
  for (int i = 0; i < argc; ++i) args.push_back(Utf8ToUtf16(argv[i]));
  return ProgramMain(args);
}
