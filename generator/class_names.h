#pragma once

#include <set>
#include <string>
#include <string_view>

// Class names as the game's config tools take them, and the names suggested in their place.

// Whether `name` is a letter or '_' followed by letters, digits and '_' (ASCII).
bool IsClassName(std::u16string_view name);

// `name` with ASCII letters in lower case: the tools compare class names without regard to
// case.
std::u16string FoldedCase(std::u16string_view name);

// A valid class name made from `name`: ASCII letters, digits and '_' kept; Latin letters with
// accents (U+00C0 to U+017F) written without them ("é" -> "e", "ß" -> "ss"); combining marks
// dropped; every other run of characters one '_', never at either end; a '_' in front when the
// result would start with a digit. Empty when nothing is left ("", "♫").
std::u16string ValidClassName(std::u16string_view name);

// Hands out class names that no name taken and no earlier suggestion holds, ignoring case.
class SuggestedNames {
 public:
  // A class name in use: no suggestion takes it.
  void Take(std::u16string_view class_name);
  // ValidClassName of `class_name` ("Track" when that is empty), with "_2", "_3" ... appended
  // until it is free; taken from then on.
  std::u16string FreeFrom(std::u16string_view class_name);

 private:
  std::set<std::u16string> taken_;
};

// The file name `file_name` (whose class name is TrackClassName of it) would have with
// `class_name` in place of its own: its extension follows in class-name characters, without
// the dot when none is left.
std::u16string RenamedFile(std::u16string_view file_name, std::u16string_view class_name);
