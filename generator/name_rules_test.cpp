#include "generator/name_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

// Names from Windows can hold any code units; only a surrogate pair is valid text.
TEST(NameRulesTest, WhatTheFileCannotHold) {
  const std::pair<std::u16string, Unwritable> cases[] = {
      {u"\U0001D11E \u00FF \u2027 \u202A ~\u00A0", Unwritable::kNone},
      {u"a\u0085", Unwritable::kControlCharacter},
      {u"a\u009F", Unwritable::kControlCharacter},  // the last C1 control
      {u"a\u2029", Unwritable::kLineSeparator},
      {{u'a', 0xD834}, Unwritable::kNotUnicode},                // high at the end
      {{0xD834, u'a', 0xDD1E}, Unwritable::kNotUnicode},        // high, then no low
      {{0xD834, 0xDD1E, 0xDD1E}, Unwritable::kNotUnicode},      // low after a pair
  };
  for (const auto& [text, found] : cases) EXPECT_EQ(FindUnwritable(text), found);
}
