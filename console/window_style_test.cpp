#include "console/window_style.h"

#include <gtest/gtest.h>

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

TEST(WindowStyleTest, IconMaskPacksRowsMostSignificantBitFirst) {
  constexpr IconMask mask = IconXorMask();
  // Row 2 "......#########." sets columns 6..14: 0000 0011 | 1111 1110.
  EXPECT_EQ(mask[4], 0x03);
  EXPECT_EQ(mask[5], 0xFE);
}

}  // namespace
