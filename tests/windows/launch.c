/* Starts programs as Explorer or a script does: CreateProcessW with an exact command line and
   working folder, no shell between. Given several command lines, it runs them one after
   another in its console, as a command interpreter runs a line of commands, and like one at its
   prompt it outlives Ctrl+C and Ctrl+Break, which end only the program they reach. Returns the
   last program's exit code.
     launch.exe FOLDER "COMMAND LINE"... */
#include <windows.h>

static BOOL WINAPI KeepRunning(DWORD event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  /* A handler, unlike ignoring Ctrl+C, is not passed on to the programs started. */
  SetConsoleCtrlHandler(KeepRunning, TRUE);
  DWORD code = 1;
  for (int i = 2; i < argc; ++i) {
    STARTUPINFOW startup = {.cb = sizeof startup};
    PROCESS_INFORMATION process;
    /* The standard handles (the runner's redirections) are inherited. */
    if (!CreateProcessW(NULL, argv[i], NULL, NULL, TRUE, 0, NULL, argv[1], &startup, &process)) {
      return 3;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return (int)code;
}
