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

TEST(PathsPosix, FullPathJoinsTheCurrentFolderAsText) {
  char folder[4096];
  ASSERT_NE(::getcwd(folder, sizeof folder), nullptr);
  const std::u16string current = Utf8ToUtf16(folder) + (std::string(folder) == "/" ? u"" : u"/");
  EXPECT_EQ(FullPath(u"/abs/a.wav"), u"/abs/a.wav");
  EXPECT_EQ(FullPath(u"intro.ogg"), current + u"intro.ogg");
  EXPECT_EQ(FullPath(u"../x/./a\\b.ogg"), current + u"../x/./a\\b.ogg");
}

}  // namespace
