#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "console/console_output.h"
#include "console/display_text.h"
#include "console/palette.h"
#include "console/report.h"
#include "console/window_style.h"

namespace {

class Win32ConsoleOutput : public ConsoleOutput {
 public:
  Win32ConsoleOutput(HANDLE handle, bool is_console) : handle_(handle), is_console_(is_console) {}

  void SetAttribute(std::uint16_t attribute) override {
    if (is_console_) (void)SetConsoleTextAttribute(handle_, attribute);
  }

  void Write(std::u16string_view text) override {
    DWORD written = 0;
    if (is_console_) {
      // A bidirectional override in a name would show it in another order, as on a terminal.
      const std::u16string shown = DisplayText(text);
      (void)WriteConsoleW(handle_, shown.data(), static_cast<DWORD>(shown.size()), &written,
                          nullptr);
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
    // The command interpreter prints its own prompt and returns at once at the end of input.
    (void)std::system("pause");
  }

 private:
  HANDLE handle_;
  bool is_console_;
};

// True inside Wine, whose ntdll exports its version.
bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void SetFont(HANDLE output) {
  // Wine's console host, when it draws on a terminal rather than in a window, crashes on a font
  // change (a null read, seen with Wine 8.0) and the console is gone for the rest of the run.
  // Fonts mean nothing on a terminal, so under Wine the call is left out.
  if (RunningUnderWine()) return;
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
  (void)SetConsoleOutputCP(kConsoleCodePage);
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  const bool is_console = GetConsoleMode(output, &mode) != 0;
  SetFont(output);
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
  (void)SetConsoleOutputCP(kConsoleCodePage);
  return std::make_unique<Win32ConsoleOutput>(output, is_console);
}
