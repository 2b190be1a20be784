#include "console/duration_table.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Entry = std::pair<std::u16string, float>;

std::vector<Entry> Entries(const DurationTable& table) {
  return std::vector<Entry>(table.begin(), table.end());
}

TEST(DurationTableTest, IteratesInCodeUnitOrderWhateverTheStoreOrder) {
  struct Case {
    const char* what;
    std::vector<Entry> stores;
    std::vector<Entry> expected;
  };
  const Case cases[] = {
      {"upper case first, then the proper prefix first",
       {{u"a.wav", 1}, {u"B.wav", 2}, {u"a.wav2", 3}},
       {{u"B.wav", 2}, {u"a.wav", 1}, {u"a.wav2", 3}}},
      {"drop order plays no part", {{u"b.wav", 1}, {u"A.wav", 2}}, {{u"A.wav", 2}, {u"b.wav", 1}}},
      // U+E000 is above U+D83D, the first unit of U+1F3B5, though its code point is below.
      {"units compared as unsigned 16-bit numbers",
       {{u"\uE000.ogg", 1}, {u"\U0001F3B5.ogg", 2}, {u"\u00E9.ogg", 3}, {u"z.ogg", 4}},
       {{u"z.ogg", 4}, {u"\u00E9.ogg", 3}, {u"\U0001F3B5.ogg", 2}, {u"\uE000.ogg", 1}}},
      {"a lone escaped byte sorts by its unit",
       {{std::u16string(1, char16_t{0xDCFF}), 1}, {u"\uFFFD", 2}, {u"~", 3}},
       {{u"~", 3}, {std::u16string(1, char16_t{0xDCFF}), 1}, {u"\uFFFD", 2}}},
      {"empty key first", {{u"x", 1}, {u"", 0}}, {{u"", 0}, {u"x", 1}}},
  };
  for (const Case& c : cases) {
    DurationTable table;
    for (const auto& [key, seconds] : c.stores) table.Store(key, seconds);
    EXPECT_EQ(Entries(table), c.expected) << c.what;
  }
}

TEST(DurationTableTest, LaterStoreUnderTheSameKeyWins) {
  DurationTable table;
  table.Store(u"x.ogg", 1.5f);
  table.Store(u"y.ogg", 2.0f);
  table.Store(u"x.ogg", -1.0f);
  table.Store(u"X.ogg", 3.0f);  // case matters: a different key
  EXPECT_EQ(Entries(table),
            (std::vector<Entry>{{u"X.ogg", 3.0f}, {u"x.ogg", -1.0f}, {u"y.ogg", 2.0f}}));
  table.Store(u"x.ogg", 0.0f);
  EXPECT_EQ(table.size(), 3u);
  EXPECT_EQ(Entries(table)[1], (Entry{u"x.ogg", 0.0f}));
}

}  // namespace
