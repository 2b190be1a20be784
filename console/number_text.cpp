#include "console/number_text.h"

#include <charconv>

namespace {

// Every character to_chars produces for a number is ASCII, so widening is a plain copy.
std::u16string WidenAscii(const char* first, const char* last) {
  return std::u16string(first, last);
}

}  // namespace

std::u16string DurationText(float seconds) {
  // to_chars formats as printf does in the classic locale, whatever the global locale is,
  // and the same on every target. Widening to double first is what a stream does with a float.
  // 64 characters hold the widest float (39 integer digits) with room to spare.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(seconds),
                                    std::chars_format::fixed, 2);
  return WidenAscii(buffer, result.ptr);
}

std::u16string IntegerText(int value) {
  char buffer[16];  // "-2147483648" is 11 characters
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return WidenAscii(buffer, result.ptr);
}
