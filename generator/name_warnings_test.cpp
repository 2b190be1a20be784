#include "generator/name_warnings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NameWarningsTest, ValidClassNameKeepsWhatItCanAndSeparatesTheRest) {
  const struct {
    std::u16string name;
    std::u16string valid;
  } cases[] = {
      {u"ok_Name2", u"ok_Name2"},
      {u"01 - Intro", u"_01_Intro"},  // a digit first takes a '_' in front
      {u"_01", u"_01"},
      {u"  Intro (live)  ", u"Intro_live"},  // runs collapse, none at either end
      {u"a _b", u"a_b"},                     // a separator beside a '_' adds none
      {u"a.b", u"a_b"},
      {u"K\u00F6ln \u00C9t\u00E9", u"Koln_Ete"},
      {u"Stra\u00DFe \u00C6ther \u0152uvre", u"Strasse_AEther_OEuvre"},
      {u"\u0141\u00F3d\u017A \u0130stanbul \u017F", u"Lodz_Istanbul_s"},  // Latin Extended-A
      {u"\u00D7\u00F7x", u"x"},                                  // the signs among the letters
      {u"Ko\u0308ln", u"Koln"},                                  // a combining mark, dropped
      {u"\u0180x \u00BFy", u"x_y"},                              // just past each end of the table
      {u"\u97F3\u697D 2", u"_2"},
      {u"", u""},
      {u"\u266B \u266B", u""},
      {u"\U0001D11E", u""},
  };
  for (const auto& c : cases) {
    const std::u16string valid = ValidClassName(c.name);
    EXPECT_EQ(valid, c.valid) << std::string(c.name.begin(), c.name.end());
  }
}

// What one entry is told to rename to, or empty.
std::u16string RenameOf(const std::vector<NameWarning>& warnings, std::u16string_view name) {
  for (const NameWarning& warning : warnings) {
    if (warning.name != name) continue;
    const std::size_t at = warning.reason.find(u"rename to ");
    if (at == std::u16string::npos) return u"";
    const std::size_t end = warning.reason.find(u';', at);
    return warning.reason.substr(at + 10, end == std::u16string::npos ? end : end - at - 10);
  }
  return u"";
}

// A suggestion is never a class name another track holds, nor one suggested before, ignoring
// case; of tracks sharing a name the first keeps it.
TEST(NameWarningsTest, SuggestedNamesAreFreeAndKeepTheExtension) {
  DurationTable table;
  for (const char16_t* name : {u"a b.ogg", u"A_B.wav", u"a-b.ogg", u"a_b_2.wav", u".ogg",
                               u"track.wav", u"x.O,gg", u"y.w;av", u"z z.\u266B", u"Same.wav",
                               u"k.w\xDCE9v"}) {
    table.Store(std::u16string(u"M\\") + name, 1.0f);
  }
  table.Store(u"M\\N\\same.ogg", 1.0f);
  table.Store(u"M\\gone.wav", -1.0f);
  const std::vector<NameWarning> warnings = ConfigNameWarnings(table);
  const struct {
    std::u16string name;
    std::u16string renamed;
  } cases[] = {
      {u"A_B.wav", u""},
      {u"a b.ogg", u"a_b_3.ogg"},
      {u"a-b.ogg", u"a_b_4.ogg"},
      {u"a_b_2.wav", u""},
      {u".ogg", u"Track_2.ogg"},
      {u"x.O,gg", u"x.O_gg"},  // a valid class name keeps it: only the extension changes
      {u"y.w;av", u"y.w_av"},
      {u"z z.\u266B", u"z_z"},  // nothing left of the extension
      {u"same.ogg", u""},        // M\N\same.ogg: first of its name in table order
      {u"Same.wav", u"Same_2.wav"},
      {u"k.w\xDCE9v", u"k.w_v"},  // left out of the file for its extension alone
      {u"gone.wav", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RenameOf(warnings, c.name), c.renamed) << std::string(c.name.begin(), c.name.end());
  }
}

}  // namespace
