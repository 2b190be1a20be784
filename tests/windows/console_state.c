/* Appends what the programs' console styling changes to a log file, one line, so that a run in
   one console session can compare it before and after each program. The window is logged by
   its size and whether it shows the cursor, which the output moves. With "set ROWS" it first
   gives the console a state unlike the styled one (80 columns, ROWS lines, a window of at most
   25), so that a change that is not undone shows.
     console_state.exe [set ROWS] LOG */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static int InWindow(const CONSOLE_SCREEN_BUFFER_INFOEX* info, int column, int row) {
  const SMALL_RECT* window = &info->srWindow;
  return column >= window->Left && column <= window->Right && row >= window->Top &&
         row <= window->Bottom;
}

int wmain(int argc, wchar_t** argv) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFOEX info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  int first = 1;
  if (argc >= 4 && lstrcmpW(argv[1], L"set") == 0) {
    const SHORT rows = (SHORT)_wtoi(argv[2]);
    const CONSOLE_CURSOR_INFO cursor = {25, TRUE};
    const SMALL_RECT window = {0, 0, 79, (SHORT)((rows < 25 ? rows : 25) - 1)};
    first = 3;
    SetConsoleCP(437);
    SetConsoleOutputCP(850);
    GetConsoleScreenBufferInfoEx(output, &info);
    info.dwSize.X = 80;
    info.dwSize.Y = rows;
    info.ColorTable[3] = 0x123456;
    SetConsoleScreenBufferInfoEx(output, &info);
    SetConsoleWindowInfo(output, TRUE, &window);
    SetConsoleTextAttribute(output, 0x1E);
    SetConsoleCursorInfo(output, &cursor);
    SetConsoleTitleW(L"state check");
  }
  if (argc <= first) return 1;
  FILE* log = _wfopen(argv[first], L"ab"); /* LF line ends, as the scripts read them */
  if (log == NULL || !GetConsoleScreenBufferInfoEx(output, &info)) return 1;
  CONSOLE_CURSOR_INFO cursor = {0, FALSE};
  GetConsoleCursorInfo(output, &cursor);
  wchar_t title[256] = L"";
  GetConsoleTitleW(title, 256);
  unsigned long colours = 0; /* a checksum of the colour table */
  for (int i = 0; i < 16; ++i) colours = colours * 31 + info.ColorTable[i];
  const COORD at = info.dwCursorPosition;
  fprintf(log,
          "cp %u/%u buffer %dx%d window %dx%d cursor %lu%s%s attribute %u colours %08lx "
          "title [%ls]\n",
          GetConsoleCP(), GetConsoleOutputCP(), info.dwSize.X, info.dwSize.Y,
          info.srWindow.Right - info.srWindow.Left + 1,
          info.srWindow.Bottom - info.srWindow.Top + 1, cursor.dwSize,
          cursor.bVisible ? "" : " hidden", InWindow(&info, at.X, at.Y) ? "" : " out of view",
          info.wAttributes, colours, title);
  return fclose(log) == 0 ? 0 : 1;
}
