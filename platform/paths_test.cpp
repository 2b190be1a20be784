#include "platform/paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Paths, ExtendedLengthPathsLoseOnlyTheirPrefix) {
  const struct {
    std::u16string path;
    std::u16string plain;
  } cases[] = {
      {u"\\\\?\\C:\\Music\\a.wav", u"C:\\Music\\a.wav"},
      {u"\\\\?\\UNC\\server\\share\\a.wav", u"\\\\server\\share\\a.wav"},
      {u"\\\\?\\unc\\server\\a.wav", u"\\\\server\\a.wav"},
      {u"\\\\?\\UNCLE\\a.wav", u"UNCLE\\a.wav"},  // a folder named so, not the UNC marker
      {u"\\\\.\\C:\\a.wav", u"\\\\.\\C:\\a.wav"},  // a device path keeps its form
      {u"\\\\server\\share\\a.wav", u"\\\\server\\share\\a.wav"},
      {u"C:\\\\?\\a.wav", u"C:\\\\?\\a.wav"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithoutExtendedPrefix(c.path), c.plain);
}

}  // namespace
