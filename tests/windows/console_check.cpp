// Checks what the console set-up and writes leave in a real Win32 console. A console exists
// only when the program's output is a terminal (under Wine: run it inside a pseudo-terminal);
// elsewhere the console check is skipped.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/window_style.h"

namespace {

bool ReadInfo(CONSOLE_SCREEN_BUFFER_INFOEX& info) {
  info = {};
  info.cbSize = sizeof info;
  return GetConsoleScreenBufferInfoEx(GetStdHandle(STD_OUTPUT_HANDLE), &info) != FALSE;
}

TEST(ConsoleCheck, SetUpStylesTheWindowAndWritesKeepCodeUnitsAndAttribute) {
  CONSOLE_SCREEN_BUFFER_INFOEX before, after;
  if (!ReadInfo(before)) GTEST_SKIP() << "standard output is not a console";
  const auto console = ConsoleOutput::SetUp(u"Orvend's Check v1.0");
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  EXPECT_EQ(GetConsoleOutputCP(), kConsoleCodePage);
  EXPECT_EQ(GetConsoleCP(), kConsoleCodePage);
  ASSERT_TRUE(ReadInfo(after));
  EXPECT_EQ(after.wAttributes, 1);
  // Wine's console reports no colour table at all (every entry 0), so the palette is not
  // checked here.
  const BufferSize size = StyledBufferSize({before.dwSize.X, before.dwSize.Y});
  const WindowRect window = StyledWindow(size.width);
  const SMALL_RECT& shown = after.srWindow;
  EXPECT_EQ((std::vector<int>{after.dwSize.X, after.dwSize.Y, shown.Left, shown.Top, shown.Right,
                              shown.Bottom}),
            (std::vector<int>{size.width, size.height, window.left, window.top, window.right,
                              window.bottom}));
  CONSOLE_CURSOR_INFO cursor = {};
  ASSERT_TRUE(GetConsoleCursorInfo(output, &cursor));
  EXPECT_EQ(cursor.dwSize, kConsoleCursorPercent);
  EXPECT_TRUE(cursor.bVisible);
  // Non-ASCII letters and a non-BMP character (two code units) go out as they are.
  console->Write(u"\n");
  ASSERT_TRUE(ReadInfo(after));
  const std::u16string text = u"caf\u00E9 \u266B \U0001D11E end";
  console->SetAttribute(198);
  console->Write(text);
  console->SetAttribute(7);
  console->Write(u"\n");
  std::wstring cells(text.size(), L'?');
  std::basic_string<WORD> attributes(text.size(), 0);
  DWORD read = 0;
  const COORD start = after.dwCursorPosition;
  ASSERT_TRUE(ReadConsoleOutputCharacterW(output, cells.data(), static_cast<DWORD>(cells.size()),
                                          start, &read));
  EXPECT_EQ(std::u16string(cells.begin(), cells.begin() + read), text);
  ASSERT_TRUE(ReadConsoleOutputAttribute(output, attributes.data(),
                                         static_cast<DWORD>(attributes.size()), start, &read));
  EXPECT_EQ(attributes, std::basic_string<WORD>(text.size(), 198));
}

}  // namespace
