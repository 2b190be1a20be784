#include "platform/paths.h"

#include <gtest/gtest.h>

namespace {

TEST(PathsPosix, SlashAndBackslashBothEndTheFolder) {
  EXPECT_EQ(FileNameOf(u"/home/u/music/intro.ogg"), u"intro.ogg");
  EXPECT_EQ(FolderOf(u"/home/u/music/intro.ogg"), u"/home/u/music");
  // Whichever separator comes last wins.
  EXPECT_EQ(FileNameOf(u"/mnt/c\\Music\\a.wav"), u"a.wav");
  EXPECT_EQ(FileNameOf(u"C:\\Music/sub/a.wav"), u"a.wav");
  EXPECT_EQ(FolderOf(u"C:\\Music/sub\\a.wav"), u"C:\\Music/sub");
}

TEST(PathsPosix, OutputFolderPrefixIsBesideTheProgramOrTheCurrentFolder) {
  EXPECT_EQ(OutputFolderPrefix(u"./brevane"), u"./");
  EXPECT_EQ(OutputFolderPrefix(u"/opt/tools/brevane"), u"/opt/tools/");
  EXPECT_EQ(OutputFolderPrefix(u"/brevane"), u"/");
  // Started by name through PATH: the current folder.
  EXPECT_EQ(OutputFolderPrefix(u"brevane"), u"");
}

}  // namespace
