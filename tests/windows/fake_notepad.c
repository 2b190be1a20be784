/* Stands in for the system text editor in the end-to-end runs, in the test Wine prefix's
   Windows folders (and, planted, where a search for "notepad" would find it first: it must
   never run there). It records the arguments of its command line, one per line, as UTF-16LE
   text in notepad-command-line.txt beside itself, then exits. */
#include <windows.h>

#include <shellapi.h>

int wmain(void) {
  wchar_t path[MAX_PATH + 64];
  const DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  wchar_t* name = path + length;
  while (name > path && name[-1] != L'\\') --name;
  lstrcpyW(name, L"notepad-command-line.txt");

  /* Written under a temporary name and renamed, so a reader never sees half a record. */
  wchar_t partial[MAX_PATH + 64];
  lstrcpyW(partial, path);
  lstrcatW(partial, L".part");
  const HANDLE file = CreateFileW(partial, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return 1;
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; args != NULL && i < count; ++i) {
    DWORD written = 0;
    WriteFile(file, args[i], (DWORD)(lstrlenW(args[i]) * sizeof(wchar_t)), &written, NULL);
    WriteFile(file, L"\n", sizeof(wchar_t), &written, NULL);
  }
  CloseHandle(file);
  return MoveFileExW(partial, path, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
