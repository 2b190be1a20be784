#include "platform/paths.h"

bool IsFolderSeparator(char16_t c) { return c == u'\\'; }

std::u16string OutputFolderPrefix(std::u16string_view arg0) {
  // FolderOf keeps the whole of argument 0 when it holds no backslash: the names tried then
  // lie below the program's own name, and creating them fails unless such a folder exists.
  std::u16string prefix(FolderOf(arg0));
  prefix.push_back(u'\\');
  return prefix;
}
