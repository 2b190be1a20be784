#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "console/console_output.h"
#include "console/display_text.h"
#include "console/palette.h"
#include "console/report.h"
#include "console/windows_console_look.h"

namespace {

// The main thread styles the console, writes to it and gives it back at its end; Ctrl+C,
// Ctrl+Break or closing the window give it back from another thread at any moment. Every
// console operation runs under this lock, and once the console is given back none touches it
// again, so that giving it back is final: nothing is styled, written or set after it.
SRWLOCK console_lock = SRWLOCK_INIT;
enum class ConsoleState { kAsFound, kStyled, kGivenBack };
ConsoleState console_state = ConsoleState::kAsFound;  // guarded by console_lock

class ConsoleLock {
 public:
  ConsoleLock() { AcquireSRWLockExclusive(&console_lock); }
  ~ConsoleLock() { ReleaseSRWLockExclusive(&console_lock); }
  ConsoleLock(const ConsoleLock&) = delete;
  ConsoleLock& operator=(const ConsoleLock&) = delete;
};

class Win32ConsoleOutput : public ConsoleOutput {
 public:
  Win32ConsoleOutput(HANDLE handle, bool is_console) : handle_(handle), is_console_(is_console) {}
  ~Win32ConsoleOutput() override;

  void SetAttribute(std::uint16_t attribute) override {
    if (!is_console_) return;
    const ConsoleLock lock;
    if (console_state == ConsoleState::kStyled) {
      (void)SetConsoleTextAttribute(handle_, attribute);
    }
  }

  void Write(std::u16string_view text) override {
    DWORD written = 0;
    if (is_console_) {
      // A bidirectional override in a name would show it in another order, as on a terminal.
      const std::u16string shown = DisplayText(text);
      const ConsoleLock lock;
      if (console_state == ConsoleState::kStyled) {
        (void)WriteConsoleW(handle_, shown.data(), static_cast<DWORD>(shown.size()), &written,
                            nullptr);
      }
      return;
    }
    // WriteConsoleW fails on a file or a pipe: redirected output gets the plain text as UTF-8,
    // as on POSIX. Unpaired surrogates become U+FFFD.
    if (text.empty()) return;
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int wide_size = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, wide_size, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    (void)WideCharToMultiByte(CP_UTF8, 0, wide, wide_size, bytes.data(), size, nullptr, nullptr);
    (void)WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }

  void Pause() override {
    // Redirected output gets no prompt and no wait: the prompt would land in the file or pipe.
    if (!is_console_) return;
    {
      const ConsoleLock lock;
      if (console_state != ConsoleState::kStyled) return;
    }
    // Not under the lock: an interrupt at the prompt must still be able to give the console
    // back. The command interpreter prints its own prompt and returns at once at the end of
    // input.
    (void)std::system("pause");
    // Wine's interpreter leaves the cursor after its prompt, so that whatever the console
    // showed next ran on from it; the line is ended here where the interpreter did not.
    const ConsoleLock lock;
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (console_state == ConsoleState::kStyled && GetConsoleScreenBufferInfo(handle_, &info) &&
        info.dwCursorPosition.X != 0) {
      DWORD written = 0;
      (void)WriteConsoleW(handle_, L"\n", 1, &written, nullptr);
    }
  }

 private:
  HANDLE handle_;
  bool is_console_;
};

// What the styling changes, as the console had it before. The console may be one the user
// keeps using (a cmd or PowerShell window), so it is given back as found when the program
// ends. Each part is restored only if it could be read. Written once before the styling and
// only read afterwards, under the console lock.
struct SavedConsole {
  HANDLE output;
  UINT input_code_page;  // 0: not read
  UINT output_code_page;
  bool has_buffer;
  CONSOLE_SCREEN_BUFFER_INFOEX buffer;  // size, window, attributes, colour table
  bool has_cursor;
  CONSOLE_CURSOR_INFO cursor;
  bool has_fonts;
  CONSOLE_FONT_INFOEX font;          // the current one
  CONSOLE_FONT_INFOEX maximum_font;  // the maximised window's, which the styling sets
  bool has_title;
  wchar_t title[1024];
  HWND window;  // null: no window to give an icon back to
  LPARAM previous_icon;
};
SavedConsole saved;

void SaveConsole(HANDLE output, bool save_fonts) {
  saved.output = output;
  saved.input_code_page = GetConsoleCP();
  saved.output_code_page = GetConsoleOutputCP();
  saved.buffer.cbSize = sizeof saved.buffer;
  saved.has_buffer = GetConsoleScreenBufferInfoEx(output, &saved.buffer) != FALSE;
  saved.has_cursor = GetConsoleCursorInfo(output, &saved.cursor) != FALSE;
  saved.font.cbSize = saved.maximum_font.cbSize = sizeof saved.font;
  saved.has_fonts = save_fonts && GetCurrentConsoleFontEx(output, FALSE, &saved.font) &&
                    GetCurrentConsoleFontEx(output, TRUE, &saved.maximum_font);
  // An empty title reads as length 0 with no error.
  SetLastError(ERROR_SUCCESS);
  const DWORD title_length =
      GetConsoleTitleW(saved.title, static_cast<DWORD>(std::size(saved.title)));
  saved.has_title = title_length > 0 || GetLastError() == ERROR_SUCCESS;
  saved.window = GetConsoleWindow();
  if (saved.window != nullptr) {
    saved.previous_icon = SendMessageW(saved.window, WM_GETICON, ICON_SMALL, 0);
  }
}

// One past the rightmost column holding text in rows 0 to `last_row`, looking only from
// column `from` on (nothing lies further right than the former buffer's width unless the
// program, or the pause, wrote it); `from` when nothing is there. A buffer that cannot be
// read counts as full, so that nothing is cut.
SHORT TextWidth(HANDLE output, SHORT from, SHORT width, SHORT last_row) {
  if (from >= width) return from;
  const SHORT columns = static_cast<SHORT>(width - from);
  // A few thousand cells per call: a console refuses to copy out large regions at once.
  const SHORT rows_per_read = static_cast<SHORT>(std::max(1, 4096 / columns));
  std::vector<CHAR_INFO> cells(static_cast<std::size_t>(columns) * rows_per_read);
  SHORT text_width = from;
  for (SHORT top = 0; top <= last_row; top = static_cast<SHORT>(top + rows_per_read)) {
    SMALL_RECT region = {from, top, static_cast<SHORT>(width - 1),
                         std::min<SHORT>(static_cast<SHORT>(top + rows_per_read - 1), last_row)};
    if (!ReadConsoleOutputW(output, cells.data(), {columns, rows_per_read}, {0, 0}, &region)) {
      return width;
    }
    for (int row = 0; row <= region.Bottom - region.Top; ++row) {
      for (int column = region.Right - region.Left; column >= 0; --column) {
        const WCHAR c = cells[static_cast<std::size_t>(row) * columns + column].Char.UnicodeChar;
        if (c != L' ' && c != L'\0') {
          text_width = std::max<SHORT>(text_width, static_cast<SHORT>(region.Left + column + 1));
          break;
        }
      }
    }
  }
  return text_width;
}

// Gives back the buffer's size, window size, text attribute and colour table, without cutting
// what was printed or moving it (see RestoredGeometry). Nothing is scrolled: under Wine a
// console drawn on a terminal redraws every row a scroll touches from the top of the screen,
// which pushed thousands of blank lines into view.
void RestoreBuffer(HANDLE output, CONSOLE_SCREEN_BUFFER_INFOEX info) {
  CONSOLE_SCREEN_BUFFER_INFOEX now = {};
  now.cbSize = sizeof now;
  if (!GetConsoleScreenBufferInfoEx(output, &now)) return;
  const SHORT text_width =
      TextWidth(output, info.dwSize.X, now.dwSize.X, now.dwCursorPosition.Y);
  const SMALL_RECT& before = info.srWindow;
  const RestoredConsole restored = RestoredGeometry(
      {info.dwSize.X, info.dwSize.Y}, {before.Left, before.Top, before.Right, before.Bottom},
      text_width, {now.dwCursorPosition.X, now.dwCursorPosition.Y});
  const SMALL_RECT window = {restored.window.left, restored.window.top, restored.window.right,
                             restored.window.bottom};
  info.dwSize = {restored.buffer.width, restored.buffer.height};
  info.dwCursorPosition = {restored.cursor.column, restored.cursor.row};
  info.srWindow = window;
  // A buffer cannot shrink below the window, so the window goes first; the buffer call then
  // gives the window back a row and a column short (as in the styling), so it is set again.
  (void)SetConsoleWindowInfo(output, TRUE, &window);
  (void)SetConsoleScreenBufferInfoEx(output, &info);
  (void)SetConsoleWindowInfo(output, TRUE, &window);
  (void)SetConsoleTextAttribute(output, info.wAttributes);
}

// Once, from whichever comes first: the normal end or an interrupt. Takes the console lock,
// so it waits for an operation under way to finish.
void RestoreConsole() {
  const ConsoleLock lock;
  const ConsoleState state = std::exchange(console_state, ConsoleState::kGivenBack);
  if (state != ConsoleState::kStyled) return;
  if (saved.input_code_page != 0) (void)SetConsoleCP(saved.input_code_page);
  if (saved.output_code_page != 0) (void)SetConsoleOutputCP(saved.output_code_page);
  if (saved.has_buffer) RestoreBuffer(saved.output, saved.buffer);
  if (saved.has_cursor) (void)SetConsoleCursorInfo(saved.output, &saved.cursor);
  if (saved.has_fonts) {
    (void)SetCurrentConsoleFontEx(saved.output, TRUE, &saved.maximum_font);
    (void)SetCurrentConsoleFontEx(saved.output, FALSE, &saved.font);
  }
  if (saved.has_title) (void)SetConsoleTitleW(saved.title);
  if (saved.window != nullptr) {
    (void)SendMessageW(saved.window, WM_SETICON, ICON_SMALL, saved.previous_icon);
  }
}

// Ctrl+C, Ctrl+Break and closing the window end the program through the default handler, which
// runs next; the system gives this one the time to restore first. The main thread may go on
// for a moment (writing the table, say), but no longer reaches the console.
BOOL WINAPI RestoreOnInterrupt(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) {
    RestoreConsole();
  }
  return FALSE;
}

Win32ConsoleOutput::~Win32ConsoleOutput() {
  RestoreConsole();
  (void)SetConsoleCtrlHandler(RestoreOnInterrupt, FALSE);
}

// True inside Wine, whose ntdll exports its version.
bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine's console host, when it draws on a terminal rather than in a window, crashes on a font
// change (a null read, seen with Wine 8.0) and the console is gone for the rest of the run.
// Fonts mean nothing on a terminal, so under Wine the font is neither set nor given back.
void SetFont(HANDLE output) {
  CONSOLE_FONT_INFOEX font = {};
  font.cbSize = sizeof font;
  font.dwFontSize = {kConsoleFontWidth, kConsoleFontHeight};
  font.FontFamily = kConsoleFontFamily;
  font.FontWeight = kConsoleFontWeight;
  std::copy(kConsoleFontFace.begin(), kConsoleFontFace.end(), font.FaceName);
  (void)SetCurrentConsoleFontEx(output, TRUE, &font);
}

// Returns the buffer width written, which the window rectangle is based on.
SHORT SetBufferAndPalette(HANDLE output) {
  CONSOLE_SCREEN_BUFFER_INFOEX info = {};
  info.cbSize = sizeof info;
  (void)GetConsoleScreenBufferInfoEx(output, &info);
  info.wAttributes = 0;
  for (std::size_t i = 0; i < kPalette.size(); ++i) info.ColorTable[i] = kPalette[i];
  const BufferSize size = StyledBufferSize({info.dwSize.X, info.dwSize.Y});
  info.dwSize = {size.width, size.height};
  // The window rectangle goes back as read: it is inclusive, so Windows shrinks the window by
  // one row and column here, and the next step sets the window anyway.
  (void)SetConsoleScreenBufferInfoEx(output, &info);
  return size.width;
}

void SetIcon() {
  static constexpr IconMask kXorMask = IconXorMask();
  // The icon lives until the program ends: the window keeps using it.
  const HICON icon = CreateIcon(nullptr, kIconSize, kIconSize, 1, 1, kIconAndMask.data(),
                                kXorMask.data());
  (void)SendMessageW(GetConsoleWindow(), WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(icon));
}

}  // namespace

std::unique_ptr<ConsoleOutput> ConsoleOutput::SetUp(std::u16string_view title) {
  // Every result is ignored: without a console (output redirected) each call simply fails.
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const bool change_font = !RunningUnderWine();
  SaveConsole(output, change_font);
  DWORD mode = 0;
  const bool is_console = GetConsoleMode(output, &mode) != 0;
  // Installed outside the lock: the system may hold a lock of its own while a handler runs
  // and takes it to install one. An interrupt before the lock is taken finds nothing changed,
  // and the styling is then left out, as the program is ending.
  (void)SetConsoleCtrlHandler(RestoreOnInterrupt, TRUE);
  auto console = std::make_unique<Win32ConsoleOutput>(output, is_console);
  const ConsoleLock lock;
  if (console_state == ConsoleState::kGivenBack) return console;
  console_state = ConsoleState::kStyled;
  (void)SetConsoleOutputCP(kConsoleCodePage);
  if (change_font) SetFont(output);
  const SHORT width = SetBufferAndPalette(output);
  (void)SetConsoleTextAttribute(output, kAttributeStartup);
  const WindowRect rect = StyledWindow(width);
  const SMALL_RECT window = {rect.left, rect.top, rect.right, rect.bottom};
  (void)SetConsoleWindowInfo(output, TRUE, &window);
  const CONSOLE_CURSOR_INFO cursor = {kConsoleCursorPercent, TRUE};
  (void)SetConsoleCursorInfo(output, &cursor);
  SetIcon();
  const std::wstring wide_title(title.begin(), title.end());
  (void)SetConsoleTitleW(wide_title.c_str());
  (void)SetConsoleCP(kConsoleCodePage);
  // Again, last: on some systems the console resets its output code page after the font or
  // buffer changes above.
  (void)SetConsoleOutputCP(kConsoleCodePage);
  return console;
}
