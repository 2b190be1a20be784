#include "console/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>
#include <string>
#include <utility>

namespace {

TEST(NumberTextTest, DurationTextHasTwoDecimalsOfTheWidenedFloat) {
  const std::pair<float, std::u16string> cases[] = {
      {0.0f, u"0.00"},    {0.004f, u"0.00"},   {5.668f, u"5.67"},  {61.5f, u"61.50"},
      {2.675f, u"2.67"},  // the float is 2.6749999523...: its own value decides
      {9.999f, u"10.00"}, {std::numeric_limits<float>::max(),
                           u"340282346638528859811704183484516925440.00"},
  };
  for (const auto& [seconds, text] : cases) EXPECT_EQ(DurationText(seconds), text) << seconds;
}

// Decimal comma and grouping by thousands, as many user locales have.
class CommaNumpunct : public std::numpunct<char> {
 protected:
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

// Each check first shows that the locale changes how a number is usually formatted, so that
// it would catch a formatter that follows the locale.
TEST(NumberTextTest, DurationTextIgnoresTheGlobalLocale) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct));
  std::ostringstream stream;
  stream << std::fixed << std::setprecision(2) << 1234.5;
  const std::u16string text = DurationText(1234.5f);
  std::locale::global(previous);
  ASSERT_EQ(stream.str(), "1.234,50");
  EXPECT_EQ(text, u"1234.50");
}

TEST(NumberTextTest, DurationTextIgnoresTheCLibraryLocale) {
  // Installed locale names differ by system: glibc's, then the Windows C runtime's.
  const char* set = nullptr;
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "German_Germany.1252", "French"}) {
    if ((set = std::setlocale(LC_NUMERIC, name)) != nullptr) break;
  }
  if (set == nullptr) GTEST_SKIP() << "no C library locale with a decimal comma is installed";
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", 1234.5);
  const std::u16string text = DurationText(1234.5f);
  std::setlocale(LC_NUMERIC, "C");
  ASSERT_STREQ(buffer, "1234,50") << set;
  EXPECT_EQ(text, u"1234.50") << set;
}

}  // namespace
