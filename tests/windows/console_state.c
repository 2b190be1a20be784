/* Appends what the programs' console styling changes to a log file, one line, so that a run in
   one console session can compare it before and after each program. The window is logged by
   its size and whether it shows the cursor, which the output moves. With "set ROWS" it first
   gives the console a state unlike the styled one (80 columns, ROWS lines, a window of at most
   25 that shows the cursor), so that a change that is not undone shows. With TEXT it then logs
   a second line: whether TEXT stands whole on one line of the buffer, and whether that line
   is in the window.
     console_state.exe [set ROWS] LOG [TEXT] */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static int InWindow(const CONSOLE_SCREEN_BUFFER_INFOEX* info, int column, int row) {
  const SMALL_RECT* window = &info->srWindow;
  return column >= window->Left && column <= window->Right && row >= window->Top &&
         row <= window->Bottom;
}

/* The row, up to the cursor's, on which TEXT stands whole; -1 when there is none. */
static int FindText(HANDLE output, const CONSOLE_SCREEN_BUFFER_INFOEX* info, const wchar_t* text) {
  const int width = info->dwSize.X;
  wchar_t* row_text = calloc((size_t)width + 1, sizeof *row_text);
  int found = -1;
  for (int row = 0; row_text != NULL && found < 0 && row <= info->dwCursorPosition.Y; ++row) {
    DWORD read = 0;
    const COORD start = {0, (SHORT)row};
    if (ReadConsoleOutputCharacterW(output, row_text, (DWORD)width, start, &read)) {
      row_text[read] = L'\0';
      if (wcsstr(row_text, text) != NULL) found = row;
    }
  }
  free(row_text);
  return found;
}

int wmain(int argc, wchar_t** argv) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  CONSOLE_SCREEN_BUFFER_INFOEX info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  int first = 1;
  if (argc >= 4 && lstrcmpW(argv[1], L"set") == 0) {
    const SHORT rows = (SHORT)_wtoi(argv[2]);
    const SHORT height = rows < 25 ? rows : 25;
    const CONSOLE_CURSOR_INFO cursor = {25, TRUE};
    first = 3;
    SetConsoleCP(437);
    SetConsoleOutputCP(850);
    GetConsoleScreenBufferInfoEx(output, &info);
    /* The window ends on the cursor's row, as after output. */
    SHORT top = (SHORT)(info.dwCursorPosition.Y - (height - 1));
    if (top > rows - height) top = (SHORT)(rows - height);
    if (top < 0) top = 0;
    const SMALL_RECT window = {0, top, 79, (SHORT)(top + height - 1)};
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
  if (argc > first + 1) {
    const int row = FindText(output, &info, argv[first + 1]);
    fprintf(log, "text %s\n",
            row < 0                          ? "not whole"
            : InWindow(&info, 0, row)        ? "whole, in view"
                                             : "whole, out of view");
  }
  return fclose(log) == 0 ? 0 : 1;
}
