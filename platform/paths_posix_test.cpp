#include "platform/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "platform/utf.h"
#include "tests/support/test_support.h"

namespace {

TEST(PathsPosix, FoldersAreTheSameOnlyExactlyAndTheOutputGoesBesideTheProgram) {
  EXPECT_TRUE(SameFolder(u"/in/Music", u"/in/Music"));
  EXPECT_FALSE(SameFolder(u"/in/Music", u"/in/MUSIC"));
  EXPECT_FALSE(SameFolder(u"/in/Music", u"/in/Music/sub"));
  EXPECT_EQ(OutputFolderPrefix(u"/opt/tools/brevane"), u"/opt/tools/");
  EXPECT_EQ(OutputFolderPrefix(u"brevane"), u"");  // started by name through PATH
}

// Runs `check` with `folder` as the current folder, then goes back.
template <typename Check>
void InFolder(const std::string& folder, Check check) {
  const std::filesystem::path back = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  check();
  std::filesystem::current_path(back);
}

// From a current folder deeper than a first guess at its length, a relative path still gives
// the file's full path ("." and ".." in relative paths: the path spellings case).
TEST(PathsPosix, FullPathFromADeepCurrentFolder) {
  ScopedTempDir dir;
  const std::string deep = dir.File(std::string(200, 'n') + "/" + std::string(200, 'n'));
  std::filesystem::create_directories(deep);
  WriteBytes(deep + "/a.wav", "the file");
  InFolder(deep, [] {
    const std::string full = Utf16ToUtf8(FullPath(u"a.wav"));
    EXPECT_EQ(full.substr(0, 1), "/");
    EXPECT_EQ(ReadBytes(full), "the file") << full;
  });
}

TEST(PathsPosix, FullPathResolvesTheTextAsWindowsDoes) {
  // Each path, then its full path from /usr: not the root, where a current folder joined to an
  // absolute path would vanish again.
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"intro.ogg", u"/usr/intro.ogg"},
      {u"./sub/../intro.ogg", u"/usr/intro.ogg"},
      {u"../x/", u"/x/"},
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
  InFolder("/usr", [&] {
    for (const auto& [path, full] : cases) EXPECT_EQ(FullPath(path), full);
  });
}

}  // namespace
