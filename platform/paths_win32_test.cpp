#include "platform/paths.h"

#include <gtest/gtest.h>

#include <string>

// Windows matches names ignoring case, letter by letter: no locale, no expansion.
TEST(PathsWin32, FoldersAreTheSameIgnoringCase) {
  const struct {
    std::u16string a, b;
    bool same;
  } cases[] = {
      {u"Z:\\in\\Music", u"z:\\IN\\MUSIC", true},
      {u"C:\\\u00C9t\u00E9 2024", u"c:\\\u00E9T\u00C9 2024", true},
      {u"C:\\\u0416", u"C:\\\u0436", true},
      {u"C:\\Music", u"C:\\Music\\sub", false},
      {u"C:\\Music", u"C:\\Musik", false},
      {u"C:\\Stra\u00DFe", u"C:\\STRASSE", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SameFolder(c.a, c.b), c.same) << std::string(c.a.begin(), c.a.end());
  }
}
