#include "generator/name_warnings.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/utf.h"

namespace {

// Each case is a table (full paths, seconds) and the "name  -  reason" lines it gives.
TEST(NameWarningsTest, NamesTheToolsRejectWithTheirReasons) {
  const std::string kBadName = "class name is not a letter or _ followed by letters, digits, _";
  const std::string kTwice = "class name also used by another track";
  const struct {
    const char* what;
    std::vector<std::pair<std::u16string, float>> entries;
    std::vector<std::string> lines;
  } cases[] = {
      {"good names, in any case, and n/a entries give none",
       {{u"C:\\m\\_Intro2.ogg", 1}, {u"C:\\m\\outro.wav", 1}, {u"C:\\m\\0 bad.wav", -1},
        {u"C:\\n\\outro.ogg", -1}},
       {}},
      {"invalid, empty, same name ignoring case",
       {{u"C:\\m\\01 - Intro.ogg", 1}, {u"C:\\m\\.ogg", 1}, {u"C:\\m\\Theme.ogg", 1},
        {u"C:\\m\\a{b};\".wav", 1}, {u"C:\\m\\K\u00F6ln.wav", 1}, {u"C:\\n\\theme.wav", 1}},
       {".ogg  -  empty class name", "01 - Intro.ogg  -  " + kBadName,
        "K\xC3\xB6ln.wav  -  " + kBadName, "Theme.ogg  -  " + kTwice,
        "a{b};\".wav  -  " + kBadName, "theme.wav  -  " + kTwice}},
      {"same file name from two folders, one of them bad",
       {{u"C:\\a\\x y.ogg", 1}, {u"C:\\b\\x y.ogg", 1}},
       {"x y.ogg  -  " + kBadName + "; " + kTwice, "x y.ogg  -  " + kBadName + "; " + kTwice}},
      {"control characters in the folder and in names; the left-out one is no duplicate",
       {{u"C:\\a\n#x\\in\nj.ogg", 1}, {u"C:\\a\n#x\\in\x7Fj.ogg", -1}, {u"C:\\b\\inj.ogg", 1}},
       {"C:\\a\n#x  -  folder holds a control character, marked U+FFFD in TRACK_PATH",
        "in\nj.ogg  -  holds a control character, left out of the file"}},
  };
  for (const auto& c : cases) {
    DurationTable table;
    for (const auto& [key, seconds] : c.entries) table.Store(key, seconds);
    std::vector<std::string> lines;
    for (const NameWarning& w : ConfigNameWarnings(table)) {
      lines.push_back(Utf16ToUtf8(w.name + u"  -  " + w.reason));
    }
    EXPECT_EQ(lines, c.lines) << c.what;
  }
}

}  // namespace
