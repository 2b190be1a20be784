#include "console/window_style.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(WindowStyleTest, BufferRaisedToTheMinimumAndWindowAQuarterAsHighAsWide) {
  const struct {
    BufferSize current;
    std::int16_t width, height, right, bottom;
  } cases[] = {
      {{80, 25}, 120, 9999, 119, 29},
      {{200, 300}, 200, 9999, 199, 49},   // a wider buffer keeps its width
      {{123, 32000}, 123, 32000, 122, 29},  // rows: width / 4 rounded down
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.current.width << "x" << c.current.height);
    const BufferSize size = StyledBufferSize(c.current);
    EXPECT_EQ(size.width, c.width);
    EXPECT_EQ(size.height, c.height);
    const WindowRect rect = StyledWindow(size.width);
    EXPECT_EQ(rect.left + rect.top, 0);
    EXPECT_EQ(rect.right, c.right);
    EXPECT_EQ(rect.bottom, c.bottom);
  }
}

TEST(WindowStyleTest, RestoredSizeKeepsWhatWasWrittenAndTheWindowFollowsTheCursor) {
  const struct {
    const char* what;
    BufferSize before;
    WindowRect window_before;
    std::int16_t text_width;
    CellPosition cursor;
    BufferSize buffer;
    WindowRect window;
    CellPosition cursor_after;
  } cases[] = {
      {"all fits", {80, 25}, {0, 0, 79, 24}, 80, {0, 10}, {80, 25}, {0, 0, 79, 24}, {0, 10}},
      {"a wide line", {80, 25}, {0, 0, 79, 24}, 117, {0, 10}, {117, 25}, {0, 0, 79, 24}, {0, 10}},
      {"more rows", {80, 25}, {0, 0, 79, 24}, 80, {3, 65}, {80, 66}, {0, 41, 79, 65}, {3, 65}},
      {"in view", {80, 9001}, {0, 100, 79, 124}, 80, {0, 110}, {80, 9001}, {0, 100, 79, 124},
       {0, 110}},
      {"below", {80, 9001}, {0, 100, 79, 124}, 80, {0, 200}, {80, 9001}, {0, 176, 79, 200},
       {0, 200}},
      {"above", {80, 9001}, {0, 100, 79, 124}, 80, {0, 50}, {80, 9001}, {0, 50, 79, 74}, {0, 50}},
      {"cursor past the text", {80, 25}, {0, 0, 79, 24}, 90, {100, 3}, {90, 25}, {10, 0, 89, 24},
       {89, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const RestoredConsole got = RestoredGeometry(c.before, c.window_before, c.text_width, c.cursor);
    const WindowRect& w = got.window;
    EXPECT_EQ((std::vector<int>{got.buffer.width, got.buffer.height, w.left, w.top, w.right,
                                w.bottom, got.cursor.column, got.cursor.row}),
              (std::vector<int>{c.buffer.width, c.buffer.height, c.window.left, c.window.top,
                                c.window.right, c.window.bottom, c.cursor_after.column,
                                c.cursor_after.row}));
  }
}

TEST(WindowStyleTest, IconMaskPacksRowsMostSignificantBitFirst) {
  constexpr IconMask mask = IconXorMask();
  // Row 2 "......#########." sets columns 6..14: 0000 0011 | 1111 1110.
  EXPECT_EQ(mask[4], 0x03);
  EXPECT_EQ(mask[5], 0xFE);
}

}  // namespace
