/* Starts a program as Explorer or a script does: CreateProcessW with an exact command line and
   working folder, no shell between. Waits for it and returns its exit code.
     launch.exe FOLDER "COMMAND LINE" */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  /* The standard handles (the runner's redirections) are inherited. */
  if (!CreateProcessW(NULL, argv[2], NULL, NULL, TRUE, 0, NULL, argv[1], &startup, &process)) {
    return 3;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  return (int)code;
}
