#include "console/duration_table.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::u16string, float>>;

TEST(DurationTableTest, CodeUnitOrderAndLaterStoreWins) {
  const struct {
    const char* what;
    Entries stores;
    Entries expected;
  } cases[] = {
      {"upper case first, then the proper prefix first",
       {{u"a.wav", 1}, {u"B.wav", 2}, {u"a.wav2", 3}},
       {{u"B.wav", 2}, {u"a.wav", 1}, {u"a.wav2", 3}}},
      // U+E000 is above U+D83D, the first unit of U+1F3B5, though its code point is below.
      {"units compared as unsigned 16-bit numbers",
       {{u"\uE000", 1}, {u"\U0001F3B5", 2}, {u"\u00E9", 3}, {u"z", 4}},
       {{u"z", 4}, {u"\u00E9", 3}, {u"\U0001F3B5", 2}, {u"\uE000", 1}}},
      {"a later store overwrites; case matters",
       {{u"x.ogg", 1.5f}, {u"y.ogg", 2}, {u"x.ogg", -1}, {u"X.ogg", 3}},
       {{u"X.ogg", 3}, {u"x.ogg", -1}, {u"y.ogg", 2}}},
  };
  for (const auto& c : cases) {
    DurationTable table;
    for (const auto& [key, seconds] : c.stores) table.Store(key, seconds);
    EXPECT_EQ(Entries(table.begin(), table.end()), c.expected) << c.what;
  }
}

}  // namespace
