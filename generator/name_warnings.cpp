#include "generator/name_warnings.h"

#include <map>

#include "console/report.h"
#include "generator/music_config_writer.h"
#include "platform/paths.h"

namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsClassName(std::u16string_view name) {
  if (name.empty() || !(IsAsciiLetter(name[0]) || name[0] == u'_')) return false;
  for (const char16_t c : name) {
    if (!IsAsciiLetter(c) && !(c >= u'0' && c <= u'9') && c != u'_') return false;
  }
  return true;
}

// The tools compare class names without regard to case.
std::u16string FoldedCase(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& c : folded) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return folded;
}

// What FindUnwritable found, for a reason text.
std::u16string Described(Unwritable found) {
  switch (found) {
    case Unwritable::kControlCharacter:
      return u"a control character";
    case Unwritable::kLineSeparator:
      return u"a line or paragraph separator";
    case Unwritable::kNotUnicode:
      return u"text that is not valid Unicode";
    case Unwritable::kNone:
      break;
  }
  return u"";
}

}  // namespace

std::vector<NameWarning> ConfigNameWarnings(const DurationTable& table) {
  std::vector<NameWarning> warnings;
  if (table.empty()) return warnings;
  const std::u16string_view folder = FolderOf(TrackPathKey(table));
  if (const Unwritable found = FindUnwritable(folder); found != Unwritable::kNone) {
    warnings.push_back({std::u16string(folder),
                        u"folder holds " + Described(found) + u", marked U+FFFD in TRACK_PATH"});
  }

  std::map<std::u16string, int> class_name_count;
  for (const auto& [key, seconds] : table) {
    if (!HasTrackBlock(key, seconds)) continue;
    ++class_name_count[FoldedCase(TrackClassName(FileNameOf(key)))];
  }

  for (const auto& [key, seconds] : table) {
    if (seconds < 0) continue;
    const std::u16string_view file_name = FileNameOf(key);
    if (!HasTrackBlock(key, seconds)) {
      const std::u16string what = Described(FindUnwritable(file_name));
      warnings.push_back({std::u16string(file_name), u"holds " + what + u", left out of the file"});
      continue;
    }
    const std::u16string_view class_name = TrackClassName(file_name);
    std::u16string reason;
    if (class_name.empty()) {
      reason = u"empty class name";
    } else if (!IsClassName(class_name)) {
      reason = u"class name is not a letter or _ followed by letters, digits, _";
    }
    if (class_name_count[FoldedCase(class_name)] > 1) {
      if (!reason.empty()) reason += u"; ";
      reason += u"class name also used by another track";
    }
    // One TRACK_PATH serves every track: the game looks for this one in the wrong folder.
    if (!SameFolder(FolderOf(key), folder)) {
      if (!reason.empty()) reason += u"; ";
      reason += u"outside the TRACK_PATH folder";
    }
    if (!reason.empty()) warnings.push_back({std::u16string(file_name), reason});
  }
  return warnings;
}

void WriteNameWarnings(ConsoleOutput& console, const std::vector<NameWarning>& warnings) {
  if (warnings.empty()) return;
  console.SetAttribute(kAttributeNameWarning);
  console.Write(u"\n");
  console.Write(u"[Warning] The game's config tools reject these names; rename before packing:\n");
  for (const NameWarning& warning : warnings) {
    console.Write(warning.name + u"  -  " + warning.reason + u"\n");
  }
}
