#include "platform/paths.h"

bool IsFolderSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

std::u16string OutputFolderPrefix(std::u16string_view arg0) {
  const std::u16string_view name = FileNameOf(arg0);
  // Started by its path: beside the program, keeping the separator that was found. Started by
  // name through PATH: the current folder, where the user is working (and an installed
  // program's own folder is not writable).
  return std::u16string(arg0.substr(0, arg0.size() - name.size()));
}
