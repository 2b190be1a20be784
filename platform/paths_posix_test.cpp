#include "platform/paths.h"

#include <gtest/gtest.h>

namespace {

TEST(PathsPosix, SlashAndBackslashBothEndTheFolderWhicheverComesLast) {
  EXPECT_EQ(FileNameOf(u"/mnt/c\\Music\\a.wav"), u"a.wav");
  EXPECT_EQ(FolderOf(u"C:\\Music/sub\\a.wav"), u"C:\\Music/sub");
  EXPECT_EQ(FolderOf(u"C:\\Music\\sub/a.wav"), u"C:\\Music\\sub");
}

TEST(PathsPosix, OutputFolderIsBesideTheProgramOrTheCurrentFolder) {
  EXPECT_EQ(OutputFolderPrefix(u"/opt/tools/brevane"), u"/opt/tools/");
  EXPECT_EQ(OutputFolderPrefix(u"brevane"), u"");  // started by name through PATH
}

}  // namespace
