#include "platform/paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Backslash paths behave the same on every platform.
TEST(Paths, FileNameAndFolderSplitAtTheLastBackslash) {
  const struct {
    std::u16string_view path, name, folder;
  } cases[] = {
      {u"C:\\a\\b\\c.wav", u"c.wav", u"C:\\a\\b"},
      {u"intro.ogg", u"intro.ogg", u"intro.ogg"},  // no separator: whole text for both
      {u"C:\\Music\\", u"", u"C:\\Music"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileNameOf(c.path), c.name) << std::string(c.path.begin(), c.path.end());
    EXPECT_EQ(FolderOf(c.path), c.folder) << std::string(c.path.begin(), c.path.end());
  }
  EXPECT_EQ(OutputFolderPrefix(u"C:\\Tools\\Brevane.exe"), u"C:\\Tools\\");
}

}  // namespace
