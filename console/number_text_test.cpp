#include "console/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <limits>
#include <locale>
#include <string>

namespace {

TEST(NumberTextTest, DurationTextHasTwoDecimalsOfTheWidenedFloat) {
  struct Case {
    float seconds;
    const char16_t* expected;
  };
  const Case cases[] = {
      {0.0f, u"0.00"},
      {0.004f, u"0.00"},
      {5.668f, u"5.67"},
      {61.5f, u"61.50"},
      {1.0f, u"1.00"},
      // The float's own value decides the rounding, not its shortest decimal text.
      {0.005f, u"0.00"},  // 0.0049999998...
      {2.675f, u"2.67"},  // 2.6749999523...
      {0.995f, u"1.00"},  // 0.9950000047...
      {0.006f, u"0.01"},
      {9.999f, u"10.00"},
      {123.456f, u"123.46"},
      {4294967.295f, u"4294967.50"},  // nearest float; floats are 0.5 apart here
      {16777216.0f, u"16777216.00"},
      {1e20f, u"100000002004087734272.00"},
      {std::numeric_limits<float>::max(), u"340282346638528859811704183484516925440.00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DurationText(c.seconds), c.expected) << c.seconds;
  }
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
  // The C library's locale too, where the machine has one with a decimal comma.
  const char* c_locale = nullptr;
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
    if ((c_locale = std::setlocale(LC_NUMERIC, name)) != nullptr) break;
  }
  const std::u16string text = DurationText(1234.5f);
  std::setlocale(LC_NUMERIC, "C");
  std::locale::global(previous);
  EXPECT_EQ(text, u"1234.50") << (c_locale ? c_locale : "C library locale unchanged");
}

TEST(NumberTextTest, IntegerTextIsPlainDecimal) {
  struct Case {
    int value;
    const char16_t* expected;
  };
  const Case cases[] = {
      {0, u"0"},         {1, u"1"},
      {99, u"99"},       {100, u"100"},
      {-7, u"-7"},       {1234567, u"1234567"},
      {INT_MAX, u"2147483647"}, {INT_MIN, u"-2147483648"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IntegerText(c.value), c.expected) << c.value;
  }
}

}  // namespace
