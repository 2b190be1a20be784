#include "generator/class_names.h"

#include "console/number_text.h"
#include "generator/name_rules.h"

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsClassCharacter(char16_t c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'_'; }

// U+00C0 to U+017F without their accents, one letter each; '*' where it takes two letters
// (kTwoLetters), ' ' for the two signs among them (U+00D7, U+00F7).
constexpr std::u16string_view kLatinBase =
    u"AAAAAA*CEEEEIIIIDNOOOOO OUUUUY**aaaaaa*ceeeeiiiidnooooo ouuuuy*y"
    u"AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi**JjKkkLlLlLlLlLlNnNnNnnNn"
    u"OoOoOo**RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
constexpr char16_t kLatinFirst = 0x00C0;
static_assert(kLatinBase.size() == 0x0180 - kLatinFirst);

constexpr struct {
  char16_t letter;
  std::u16string_view base;
} kTwoLetters[] = {{0x00C6, u"AE"}, {0x00DE, u"TH"}, {0x00DF, u"ss"}, {0x00E6, u"ae"},
                   {0x00FE, u"th"}, {0x0132, u"IJ"}, {0x0133, u"ij"}, {0x0152, u"OE"},
                   {0x0153, u"oe"}};

// What `c` becomes in a class name: itself, its letters without accents, nothing (a combining
// mark, whose letter came before it), or a blank, which stands for a separator.
std::u16string ClassTextOf(char16_t c) {
  if (IsClassCharacter(c)) return std::u16string(1, c);
  if (c >= 0x0300 && c <= 0x036F) return u"";
  if (c < kLatinFirst || c >= kLatinFirst + kLatinBase.size()) return u" ";
  const std::u16string_view base = kLatinBase.substr(c - kLatinFirst, 1);
  if (base != u"*") return std::u16string(base);
  for (const auto& two : kTwoLetters) {
    if (two.letter == c) return std::u16string(two.base);
  }
  return u" ";
}

// `text` in class-name characters, separators collapsed and trimmed; no rule on the first one.
std::u16string ClassCharacters(std::u16string_view text) {
  std::u16string out;
  bool separated = false;
  for (const char16_t c : text) {
    const std::u16string piece = ClassTextOf(c);
    if (piece == u" ") {
      separated = true;
      continue;
    }
    if (piece.empty()) continue;
    if (separated && !out.empty() && out.back() != u'_' && piece.front() != u'_') out += u'_';
    separated = false;
    out += piece;
  }
  return out;
}

}  // namespace

bool IsClassName(std::u16string_view name) {
  if (name.empty() || IsAsciiDigit(name[0])) return false;
  for (const char16_t c : name) {
    if (!IsClassCharacter(c)) return false;
  }
  return true;
}

std::u16string FoldedCase(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return folded;
}

std::u16string ValidClassName(std::u16string_view name) {
  std::u16string valid = ClassCharacters(name);
  if (!valid.empty() && IsAsciiDigit(valid.front())) valid.insert(valid.begin(), u'_');
  return valid;
}

void SuggestedNames::Take(std::u16string_view class_name) {
  taken_.insert(FoldedCase(class_name));
}

std::u16string SuggestedNames::FreeFrom(std::u16string_view class_name) {
  std::u16string base = ValidClassName(class_name);
  if (base.empty()) base = u"Track";
  std::u16string name = base;
  for (int n = 2; !taken_.insert(FoldedCase(name)).second; ++n) name = base + u"_" + IntegerText(n);
  return name;
}

std::u16string RenamedFile(std::u16string_view file_name, std::u16string_view class_name) {
  std::u16string renamed(class_name);
  const std::u16string_view extension = file_name.substr(TrackClassName(file_name).size());
  if (extension.empty()) return renamed;
  const std::u16string kept = ClassCharacters(extension.substr(1));
  if (!kept.empty()) renamed += u"." + kept;
  return renamed;
}
