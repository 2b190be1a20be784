// console_state.exe [set ROWS | styled] LOG [TEXT]: appends to LOG one line of what the
// programs' console styling changes, to compare before and after each program in one console
// (the window by its size and whether it shows the cursor, which output moves). "set ROWS" first
// sets a state unlike the styled one (80 columns, ROWS lines, a window of at most 25 showing the
// cursor); "styled" styles it as the programs do and, after the log, writes a text of its own in
// attribute 198 (non-ASCII, and outside the BMP). With a text a second line tells whether it
// stands whole on one line of the buffer, that line in the window or not, and its attribute.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "console/console_output.h"

namespace {

bool InWindow(const CONSOLE_SCREEN_BUFFER_INFOEX& info, int column, int row) {
  const SMALL_RECT& window = info.srWindow;
  return column >= window.Left && column <= window.Right && row >= window.Top &&
         row <= window.Bottom;
}

// Where `text` stands whole, on a row up to the cursor's.
std::string FindText(HANDLE output, const CONSOLE_SCREEN_BUFFER_INFOEX& info,
                     const std::wstring& text) {
  std::wstring cells(static_cast<std::size_t>(info.dwSize.X), L' ');
  for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
    DWORD read = 0;  // stays 0 where the row cannot be read
    (void)ReadConsoleOutputCharacterW(output, cells.data(), info.dwSize.X, {0, row}, &read);
    const std::size_t column = cells.substr(0, read).find(text);
    if (column == std::wstring::npos) continue;
    std::vector<WORD> attributes(text.size(), 0);
    (void)ReadConsoleOutputAttribute(output, attributes.data(), static_cast<DWORD>(text.size()),
                                     {static_cast<SHORT>(column), row}, &read);
    const bool one = std::all_of(attributes.begin(), attributes.end(),
                                 [&](WORD attribute) { return attribute == attributes[0]; });
    return std::string(InWindow(info, 0, row) ? "whole, in view" : "whole, out of view") +
           (one ? ", attribute " + std::to_string(attributes[0]) : ", mixed attributes");
  }
  return "not whole";
}

void Unstyle(HANDLE output, SHORT rows) {
  const SHORT height = rows < 25 ? rows : 25;
  const CONSOLE_CURSOR_INFO cursor = {25, TRUE};
  SetConsoleCP(437);
  SetConsoleOutputCP(850);
  CONSOLE_SCREEN_BUFFER_INFOEX info = {};
  info.cbSize = sizeof info;
  GetConsoleScreenBufferInfoEx(output, &info);
  // The window ends on the cursor's row, as after output.
  const SHORT top = std::clamp<SHORT>(info.dwCursorPosition.Y - (height - 1), 0, rows - height);
  const SMALL_RECT window = {0, top, 79, static_cast<SHORT>(top + height - 1)};
  info.dwSize = {80, rows};
  info.ColorTable[3] = 0x123456;
  SetConsoleScreenBufferInfoEx(output, &info);
  SetConsoleWindowInfo(output, TRUE, &window);
  SetConsoleTextAttribute(output, 0x1E);
  SetConsoleCursorInfo(output, &cursor);
  SetConsoleTitleW(L"state check");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  const int first = mode == L"set" ? 3 : mode == L"styled" ? 2 : 1;  // LOG's argument
  if (argc <= first) return 1;
  if (mode == L"set") Unstyle(output, static_cast<SHORT>(_wtoi(argv[2])));
  const std::unique_ptr<ConsoleOutput> console =
      mode == L"styled" ? ConsoleOutput::SetUp(u"Orvend's Check v1.0") : nullptr;
  CONSOLE_SCREEN_BUFFER_INFOEX info = {};
  info.cbSize = sizeof info;
  FILE* log = _wfopen(argv[first], L"ab");  // LF line ends, as the scripts read them
  if (log == nullptr || !GetConsoleScreenBufferInfoEx(output, &info)) return 1;
  CONSOLE_CURSOR_INFO cursor = {0, FALSE};
  GetConsoleCursorInfo(output, &cursor);
  wchar_t title[256] = L"";
  GetConsoleTitleW(title, 256);
  unsigned long colours = 0;  // a checksum of the colour table
  for (const COLORREF colour : info.ColorTable) colours = colours * 31 + colour;
  const COORD at = info.dwCursorPosition;
  std::fprintf(log,
               "cp %u/%u buffer %dx%d window %dx%d cursor %lu%s%s attribute %u colours %08lx "
               "title [%ls]\n",
               GetConsoleCP(), GetConsoleOutputCP(), info.dwSize.X, info.dwSize.Y,
               info.srWindow.Right - info.srWindow.Left + 1,
               info.srWindow.Bottom - info.srWindow.Top + 1, cursor.dwSize,
               cursor.bVisible ? "" : " hidden", InWindow(info, at.X, at.Y) ? "" : " out of view",
               info.wAttributes, colours, title);
  constexpr std::u16string_view kText = u"caf\u00E9 \u266B \U0001D11E end";
  const std::wstring text = console ? std::wstring(kText.begin(), kText.end())
                            : argc > first + 1 ? argv[first + 1] : L"";
  if (!text.empty()) {
    if (console) {
      console->SetAttribute(198);
      console->Write(kText);
      console->SetAttribute(7);
      console->Write(u"\n");
      GetConsoleScreenBufferInfoEx(output, &info);
    }
    std::fprintf(log, "text %s\n", FindText(output, info, text).c_str());
  }
  return std::fclose(log) == 0 ? 0 : 1;
}
