#include "generator/class_names.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// What a name becomes as a class name: the table's edges (the first and last letters with
// accents, the two signs among them, the letters written as two), runs and ends of separators,
// a leading digit, and names that leave nothing.
TEST(ClassNamesTest, ValidClassNameFromAnyName) {
  const std::pair<std::u16string, std::u16string> rows[] = {
      {u"Intro_2", u"Intro_2"},
      {u"\u00C0\u017F \u00C6\u00DF\u0153", u"As_AEssoe"},  // À ſ Æß œ
      {u"a\u00D7b\u00F7c", u"a_b_c"},                        // × and ÷ separate
      {u"Ko\u0308ln", u"Koln"},                              // a combining mark dropped
      {u"  Intro (live)  ", u"Intro_live"},
      {u"a _b", u"a_b"},
      {u"_a__", u"_a__"},
      {u"2 Tracks", u"_2_Tracks"},
      {u"x\u0180y \u00BFz", u"x_y_z"},  // just past the table, and below it
      {u"\U0001D11E", u""},
      {u"", u""},
  };
  for (const auto& [name, valid] : rows) {
    EXPECT_EQ(valid, ValidClassName(name)) << std::string(name.begin(), name.end());
    EXPECT_EQ(!valid.empty() && valid == name, IsClassName(name));
  }
}

// Suggestions taken one after another: free whatever the case, numbered from 2, "Track" for
// names that leave nothing; the extension follows the new name in class-name characters.
TEST(ClassNamesTest, SuggestionsAreFreeAndKeepTheExtension) {
  SuggestedNames names;
  for (const char16_t* taken : {u"theme", u"Theme_2", u"Track", u"Zed"}) names.Take(taken);
  const std::pair<std::u16string, std::u16string> suggested[] = {
      {u"THEME", u"THEME_3"}, {u"theme", u"theme_4"}, {u"\u266B", u"Track_2"},
      {u"01 Intro", u"_01_Intro"}, {u"_01_Intro", u"_01_Intro_2"}, {u"zED", u"zED_2"},
      {u"new", u"new"},
  };
  for (const auto& [name, free] : suggested) EXPECT_EQ(free, names.FreeFrom(name));
  const std::vector<std::pair<std::pair<std::u16string, std::u16string>, std::u16string>>
      renamed = {{{u"a b.ogg", u"a_b"}, u"a_b.ogg"},
                 {{u"x.O,gg", u"x"}, u"x.O_gg"},
                 {{u"z z.\u266B", u"z_z"}, u"z_z"},
                 {{u".ogg", u"Track"}, u"Track.ogg"},
                 {{u"noext", u"noext_2"}, u"noext_2"}};
  for (const auto& [row, file] : renamed) EXPECT_EQ(file, RenamedFile(row.first, row.second));
}
