#include "platform/paths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "platform/utf.h"

namespace {

TEST(PathsPosix, SlashAndBackslashBothEndTheFolderWhicheverComesLast) {
  EXPECT_EQ(FileNameOf(u"/mnt/c\\Music\\a.wav"), u"a.wav");
  EXPECT_EQ(FolderOf(u"C:\\Music/sub\\a.wav"), u"C:\\Music/sub");
  EXPECT_EQ(FolderOf(u"C:\\Music\\sub/a.wav"), u"C:\\Music\\sub");
}

TEST(PathsPosix, FoldersAreTheSameOnlyExactly) {
  EXPECT_TRUE(SameFolder(u"/in/Music", u"/in/Music"));
  EXPECT_FALSE(SameFolder(u"/in/Music", u"/in/MUSIC"));
  EXPECT_FALSE(SameFolder(u"/in/Music", u"/in/Music/sub"));
}

TEST(PathsPosix, OutputFolderIsBesideTheProgramOrTheCurrentFolder) {
  EXPECT_EQ(OutputFolderPrefix(u"/opt/tools/brevane"), u"/opt/tools/");
  EXPECT_EQ(OutputFolderPrefix(u"brevane"), u"");  // started by name through PATH
}

TEST(PathsPosix, FullPathJoinsTheCurrentFolderAndResolvesTheTextAsWindowsDoes) {
  char folder[4096];
  ASSERT_NE(::getcwd(folder, sizeof folder), nullptr);
  const std::u16string current = Utf8ToUtf16(folder) + (std::string(folder) == "/" ? u"" : u"/");
  EXPECT_EQ(FullPath(u"intro.ogg"), current + u"intro.ogg");
  EXPECT_EQ(FullPath(u"./sub/../intro.ogg"), current + u"intro.ogg");
  const struct {
    std::u16string path;
    std::u16string full;
  } cases[] = {
      {u"/abs/a.wav", u"/abs/a.wav"},
      {u"/in/./b.wav", u"/in/b.wav"},
      {u"/in/sub/../c.wav", u"/in/c.wav"},
      {u"/in//x///y.wav", u"/in/x/y.wav"},
      {u"//in/a.wav", u"/in/a.wav"},
      {u"/../../a.wav", u"/a.wav"},            // nothing above the root
      {u"/in/Music/", u"/in/Music/"},          // still a folder
      {u"/in/Music/..", u"/in"},
      {u"/in/..", u"/"},
      {u"/", u"/"},
      {u"/in/...", u"/in/..."},                // a name, not a step up
      {u"/in/.hidden.wav", u"/in/.hidden.wav"},
      {u"/in/a\\..\\b.wav", u"/in/a\\..\\b.wav"},  // one name to the system
  };
  for (const auto& c : cases) EXPECT_EQ(FullPath(c.path), c.full);
}

}  // namespace
