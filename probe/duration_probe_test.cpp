#include "probe/duration_probe.h"

#include <gtest/gtest.h>

namespace {

// A measured WAVE wins, then a measured Ogg stream; else an empty WAVE is a real 0, and a
// failed WAVE route defers to the Ogg route's -1 or 0.
TEST(DurationProbeTest, ChoiceRule) {
  // WAVE seconds, Ogg seconds (-1: not measured), result.
  const float cases[][3] = {{5.668f, -1, 5.668f}, {5.668f, 3, 5.668f}, {0, 3, 3}, {-1, 3, 3},
                            {-1, -1, -1},         {-1, 0, 0},          {0, 0, 0}, {0, -1, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(c[2], ChooseDuration(c[0], c[1])) << "W=" << c[0] << " O=" << c[1];
  }
}

}  // namespace
