#include "generator/name_rules.h"

#include "platform/paths.h"
#include "platform/utf.h"

namespace {

// Why the unit at `i` cannot be written. Each unit of a surrogate pair passes.
Unwritable UnwritableAt(std::u16string_view text, std::size_t i) {
  const char16_t unit = text[i];
  if (IsControlCharacter(unit)) return Unwritable::kControlCharacter;
  if (unit == 0x2028 || unit == 0x2029) return Unwritable::kLineSeparator;
  if (IsHighSurrogate(unit) && !(i + 1 < text.size() && IsLowSurrogate(text[i + 1]))) {
    return Unwritable::kNotUnicode;
  }
  if (IsLowSurrogate(unit) && !(i > 0 && IsHighSurrogate(text[i - 1]))) {
    return Unwritable::kNotUnicode;
  }
  return Unwritable::kNone;
}

}  // namespace

std::u16string_view TrackClassName(std::u16string_view file_name) {
  const std::size_t dot = file_name.rfind(u'.');
  return dot == std::u16string_view::npos ? file_name : file_name.substr(0, dot);
}

Unwritable FindUnwritable(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const Unwritable found = UnwritableAt(text, i);
    if (found != Unwritable::kNone) return found;
  }
  return Unwritable::kNone;
}

std::u16string WritableText(std::u16string_view text) {
  std::u16string writable(text);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (UnwritableAt(text, i) != Unwritable::kNone) writable[i] = kReplacementCharacter;
  }
  return writable;
}

bool HasTrackBlock(std::u16string_view key, float seconds) {
  return seconds >= 0 && FindUnwritable(FileNameOf(key)) == Unwritable::kNone;
}

std::u16string_view TrackPathKey(const DurationTable& table) {
  for (const auto& [key, seconds] : table) {
    if (HasTrackBlock(key, seconds)) return key;
  }
  return table.empty() ? std::u16string_view() : std::u16string_view(table.begin()->first);
}
