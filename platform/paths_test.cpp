#include "platform/paths.h"

#include <gtest/gtest.h>

namespace {

// Backslash paths behave the same on every platform.
TEST(Paths, FileNameAndFolderSplitAtTheLastBackslash) {
  struct Case {
    std::u16string_view path, name, folder;
  } const cases[] = {
      {u"C:\\Music\\intro.ogg", u"intro.ogg", u"C:\\Music"},
      {u"C:\\a\\b\\c.wav", u"c.wav", u"C:\\a\\b"},
      {u"intro.ogg", u"intro.ogg", u"intro.ogg"},  // no separator: whole text for both
      {u"C:\\Music\\", u"", u"C:\\Music"},
      {u"\\x.ogg", u"x.ogg", u""},
      {u"", u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileNameOf(c.path), c.name) << std::string(c.path.begin(), c.path.end());
    EXPECT_EQ(FolderOf(c.path), c.folder) << std::string(c.path.begin(), c.path.end());
  }
}

TEST(Paths, OutputFolderPrefixEndsWithTheSeparatorFound) {
  EXPECT_EQ(OutputFolderPrefix(u"C:\\Tools\\Brevane.exe"), u"C:\\Tools\\");
  EXPECT_EQ(OutputFolderPrefix(u"\\Brevane.exe"), u"\\");
}

}  // namespace
