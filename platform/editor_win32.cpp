#include <windows.h>

#include <shellapi.h>

#include <string>

#include "platform/editor.h"
#include "platform/paths_win32.h"

bool OpenInTextEditor(const std::u16string& path) {
  // The system's own Notepad, by its full path: a bare "notepad" is searched for in the
  // program's folder and the current folder first, where anyone could have put a notepad.exe
  // (a Downloads folder, say).
  wchar_t system_folder[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system_folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  const std::wstring notepad = std::wstring(system_folder, length) + L"\\notepad.exe";
  // One quoted argument, blanks and all (a file name holds no quote). Notepad knows no
  // 260-character limit only for the \\?\ form, which the file gets when it is that long.
  const std::wstring file = path.size() < MAX_PATH ? std::wstring(path.begin(), path.end())
                                                   : FileCallPath(path);
  const std::wstring parameters = L"\"" + file + L"\"";
  // It starts in the system folder: a deep current folder could keep it from starting.
  const HINSTANCE result = ShellExecuteW(nullptr, nullptr, notepad.c_str(), parameters.c_str(),
                                         system_folder, SW_SHOWNORMAL);
  // Values above 32 mean success; the HINSTANCE is an error code in disguise.
  return reinterpret_cast<INT_PTR>(result) > 32;
}
