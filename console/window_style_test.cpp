#include "console/window_style.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowStyleTest, BufferIsRaisedToTheMinimumOnly) {
  struct Case {
    BufferSize current;
    BufferSize expected;
  };
  const Case cases[] = {
      {{80, 25}, {120, 9999}},      // a default console
      {{120, 9999}, {120, 9999}},   // exactly the minimum
      {{200, 300}, {200, 9999}},    // wider kept, height raised
      {{100, 32000}, {120, 32000}}, // taller kept, width raised
      {{0, 0}, {120, 9999}},        // no console: zeroed information
  };
  for (const Case& c : cases) {
    const BufferSize got = StyledBufferSize(c.current);
    EXPECT_EQ(got.width, c.expected.width) << c.current.width << "x" << c.current.height;
    EXPECT_EQ(got.height, c.expected.height) << c.current.width << "x" << c.current.height;
  }
}

TEST(WindowStyleTest, WindowIsBufferWideAndAQuarterOfThatHigh) {
  struct Case {
    std::int16_t width;
    std::int16_t right;
    std::int16_t bottom;
  };
  // Edges are inclusive; the row count is width / 4 rounded down.
  const Case cases[] = {{120, 119, 29}, {121, 120, 29}, {123, 122, 29}, {124, 123, 30},
                        {200, 199, 49}};
  for (const Case& c : cases) {
    const WindowRect rect = StyledWindow(c.width);
    EXPECT_EQ(rect.left, 0) << c.width;
    EXPECT_EQ(rect.top, 0) << c.width;
    EXPECT_EQ(rect.right, c.right) << c.width;
    EXPECT_EQ(rect.bottom, c.bottom) << c.width;
  }
}

TEST(WindowStyleTest, IconMaskPacksRowsMostSignificantBitFirst) {
  constexpr IconMask mask = IconXorMask();
  // Row 2 "......#########." sets columns 6..14: 0000 0011 | 1111 1110.
  EXPECT_EQ(mask[4], 0x03);
  EXPECT_EQ(mask[5], 0xFE);
  // Row 13 "..####....####.." sets columns 2..5 and 10..13.
  EXPECT_EQ(mask[26], 0x3C);
  EXPECT_EQ(mask[27], 0x3C);
  // Every '#' maps to exactly one set bit and nothing else is set.
  for (int row = 0; row < kIconSize; ++row) {
    for (int column = 0; column < kIconSize; ++column) {
      const bool set = (mask[row * 2 + column / 8] >> (7 - column % 8)) & 1;
      EXPECT_EQ(set, kIconPicture[row][column] == '#') << row << "," << column;
    }
  }
}

TEST(WindowStyleTest, IconPictureIsSquareAndAndMaskIsClear) {
  for (std::string_view row : kIconPicture) {
    EXPECT_EQ(row.size(), static_cast<std::size_t>(kIconSize));
    EXPECT_EQ(row.find_first_not_of(".#"), std::string_view::npos) << row;
  }
  for (std::uint8_t byte : kIconAndMask) EXPECT_EQ(byte, 0);
}

}  // namespace
