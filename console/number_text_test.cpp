#include "console/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <locale>
#include <string>

namespace {

TEST(NumberTextTest, DurationTextHasTwoDecimalsOfTheWidenedFloat) {
  const struct {
    float seconds;
    const char16_t* expected;
  } cases[] = {
      {0.0f, u"0.00"},    {0.004f, u"0.00"},   {5.668f, u"5.67"},  {61.5f, u"61.50"},
      {2.675f, u"2.67"},  // the float is 2.6749999523...: its own value decides
      {9.999f, u"10.00"}, {std::numeric_limits<float>::max(),
                           u"340282346638528859811704183484516925440.00"},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.seconds), c.expected) << c.seconds;
}

// Decimal comma and grouping by thousands, as many user locales have.
class CommaNumpunct : public std::numpunct<char> {
 protected:
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(NumberTextTest, DurationTextIgnoresTheGlobalLocale) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct));
  const char* c_locale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  const std::u16string text = DurationText(1234.5f);
  std::setlocale(LC_NUMERIC, "C");
  std::locale::global(previous);
  EXPECT_EQ(text, u"1234.50") << (c_locale ? c_locale : "C library locale unchanged");
}

}  // namespace
