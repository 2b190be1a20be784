#include "console/windows_console_look.h"

#include <gtest/gtest.h>

#include <vector>

TEST(WindowsConsoleLookTest, BufferRaisedToTheMinimumAndWindowAQuarterAsHighAsWide) {
  const struct {
    BufferSize current;
    std::vector<int> expected;  // buffer width and height; window left, top, right, bottom
  } cases[] = {
      {{80, 25}, {120, 9999, 0, 0, 119, 29}},
      {{200, 300}, {200, 9999, 0, 0, 199, 49}},      // a wider buffer keeps its width
      {{123, 32000}, {123, 32000, 0, 0, 122, 29}},  // rows: width / 4 rounded down
  };
  for (const auto& c : cases) {
    const BufferSize size = StyledBufferSize(c.current);
    const WindowRect w = StyledWindow(size.width);
    EXPECT_EQ((std::vector<int>{size.width, size.height, w.left, w.top, w.right, w.bottom}),
              c.expected) << c.current.width << "x" << c.current.height;
  }
}

TEST(WindowsConsoleLookTest, RestoredSizeKeepsWhatWasWrittenAndTheWindowFollowsTheCursor) {
  const struct {
    const char* what;
    BufferSize before;
    WindowRect window_before;
    std::int16_t text_width;
    CellPosition cursor;
    std::vector<int> expected;  // buffer width, height; window left, top, right, bottom; cursor
  } cases[] = {
      {"all fits", {80, 25}, {0, 0, 79, 24}, 80, {0, 10}, {80, 25, 0, 0, 79, 24, 0, 10}},
      {"a wide line", {80, 25}, {0, 0, 79, 24}, 117, {0, 10}, {117, 25, 0, 0, 79, 24, 0, 10}},
      {"more rows", {80, 25}, {0, 0, 79, 24}, 80, {3, 65}, {80, 66, 0, 41, 79, 65, 3, 65}},
      {"in view", {80, 9001}, {0, 100, 79, 124}, 80, {0, 110}, {80, 9001, 0, 100, 79, 124, 0, 110}},
      {"below", {80, 9001}, {0, 100, 79, 124}, 80, {0, 200}, {80, 9001, 0, 176, 79, 200, 0, 200}},
      {"above", {80, 9001}, {0, 100, 79, 124}, 80, {0, 50}, {80, 9001, 0, 50, 79, 74, 0, 50}},
      {"past the text", {80, 25}, {0, 0, 79, 24}, 90, {100, 3}, {90, 25, 10, 0, 89, 24, 89, 3}},
  };
  for (const auto& c : cases) {
    const RestoredConsole got = RestoredGeometry(c.before, c.window_before, c.text_width, c.cursor);
    const WindowRect& w = got.window;
    EXPECT_EQ((std::vector<int>{got.buffer.width, got.buffer.height, w.left, w.top, w.right,
                                w.bottom, got.cursor.column, got.cursor.row}),
              c.expected) << c.what;
  }
}

TEST(WindowsConsoleLookTest, IconMaskPacksRowsMostSignificantBitFirst) {
  constexpr IconMask mask = IconXorMask();
  // Row 2 "......#########." sets columns 6..14: 0000 0011 | 1111 1110.
  EXPECT_EQ(mask[4], 0x03);
  EXPECT_EQ(mask[5], 0xFE);
}
