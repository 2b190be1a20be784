#include <windows.h>

#include <shellapi.h>

#include "platform/editor.h"

void OpenInTextEditor(const std::u16string& path) {
  // The path goes as the parameter text unquoted: notepad takes the rest of its command line
  // as one file name, blanks included.
  const auto* parameters = reinterpret_cast<const wchar_t*>(path.c_str());
  (void)ShellExecuteW(nullptr, nullptr, L"notepad", parameters, nullptr, SW_SHOWNORMAL);
}
