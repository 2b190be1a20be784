#include "platform/paths.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

TEST(Paths, ExtendedLengthPathsLoseOnlyTheirPrefix) {
  // Each path, then the same without its prefix.
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"\\\\?\\C:\\Music\\a.wav", u"C:\\Music\\a.wav"},
      {u"\\\\?\\UNC\\server\\share\\a.wav", u"\\\\server\\share\\a.wav"},
      {u"\\\\?\\unc\\server\\a.wav", u"\\\\server\\a.wav"},
      {u"\\\\?\\UNCLE\\a.wav", u"UNCLE\\a.wav"},  // a folder named so, not the UNC marker
      {u"\\\\.\\C:\\a.wav", u"\\\\.\\C:\\a.wav"},  // a device path keeps its form
      {u"\\\\server\\share\\a.wav", u"\\\\server\\share\\a.wav"},
      {u"C:\\\\?\\a.wav", u"C:\\\\?\\a.wav"},
  };
  for (const auto& [path, plain] : cases) EXPECT_EQ(WithoutExtendedPrefix(path), plain);
}
