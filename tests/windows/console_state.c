/* Appends what the programs' console styling changes to a log file, one line, so that a run in
   one console session can compare it before and after each program. With "set" it first gives
   the console a state unlike the styled one, so that a change that is not undone shows.
     console_state.exe [set] LOG */
#include <windows.h>

#include <stdio.h>
#include <string.h>

int wmain(int argc, wchar_t** argv) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFOEX info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  if (argc == 3 && lstrcmpW(argv[1], L"set") == 0) {
    const CONSOLE_CURSOR_INFO cursor = {25, TRUE};
    const SMALL_RECT window = {0, 0, 79, 24};
    SetConsoleCP(437);
    SetConsoleOutputCP(850);
    GetConsoleScreenBufferInfoEx(output, &info);
    info.dwSize.X = 80;
    info.dwSize.Y = 150;
    info.ColorTable[3] = 0x123456;
    SetConsoleScreenBufferInfoEx(output, &info);
    SetConsoleWindowInfo(output, TRUE, &window);
    SetConsoleTextAttribute(output, 0x1E);
    SetConsoleCursorInfo(output, &cursor);
    SetConsoleTitleW(L"state check");
  }
  FILE* log = _wfopen(argv[argc - 1], L"a");
  if (argc < 2 || log == NULL || !GetConsoleScreenBufferInfoEx(output, &info)) return 1;
  CONSOLE_CURSOR_INFO cursor = {0, FALSE};
  GetConsoleCursorInfo(output, &cursor);
  wchar_t title[256] = L"";
  GetConsoleTitleW(title, 256);
  unsigned long colours = 0; /* a checksum of the colour table */
  for (int i = 0; i < 16; ++i) colours = colours * 31 + info.ColorTable[i];
  fprintf(log,
          "cp %u/%u buffer %dx%d window %d,%d-%d,%d cursor %lu%s attribute %u colours %08lx "
          "title [%ls]\n",
          GetConsoleCP(), GetConsoleOutputCP(), info.dwSize.X, info.dwSize.Y, info.srWindow.Left,
          info.srWindow.Top, info.srWindow.Right, info.srWindow.Bottom, cursor.dwSize,
          cursor.bVisible ? "" : " hidden", info.wAttributes, colours, title);
  return fclose(log) == 0 ? 0 : 1;
}
