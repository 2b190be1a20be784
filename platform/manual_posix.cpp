#include "platform/manual.h"

std::u16string ManualPlace(std::u16string_view command, std::u16string_view /*arg0*/) {
  return u"man " + std::u16string(command);
}

std::u16string StartingHint(std::u16string_view name, std::u16string_view command) {
  return u"On Linux: drop the files onto the " + std::u16string(name) + u" launcher, or run " +
         std::u16string(command) + u" FILE... in a terminal.";
}
