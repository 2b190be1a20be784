#include "platform/manual.h"

std::u16string ManualPointer(std::u16string_view command) {
  return u"See man " + std::u16string(command) + u".";
}
