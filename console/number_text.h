#pragma once

#include <string>

// Seconds as fixed-point text with exactly two decimals and no grouping, in the classic
// locale: 5.668 -> "5.67", 0 -> "0.00", 61.5 -> "61.50". For values >= 0.
std::u16string DurationText(float seconds);

// Decimal text of `value` with no grouping: 42 -> "42", -7 -> "-7".
std::u16string IntegerText(int value);
