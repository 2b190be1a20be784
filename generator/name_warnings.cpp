#include "generator/name_warnings.h"

#include <map>
#include <set>

#include "console/report.h"
#include "generator/class_names.h"
#include "generator/name_rules.h"
#include "platform/paths.h"

namespace {

// A character that ends or splits the text it stands in, with why it is counted where.
struct Breaker {
  std::u16string_view text;
  bool in_argument;    // in a file name: inside TRACK_PATH(...) on the sound[] line
  bool in_definition;  // in the folder: on TRACK_PATH's #define line, then in every sound[]
};

// Parentheses pair up only in a macro's arguments: in the #define body they are plain text.
// A '#' in an argument is plain text too, but in a #define body it is the stringizing
// operator, which must name a parameter. The rest end a macro argument or the sound[] line
// wherever they stand once expanded: ',' splits the argument and the array element, ';' ends
// the statement, braces open or close an array, quotes open a string or character literal
// that runs past the closing parenthesis, and "//" and "/*" start a comment.
constexpr Breaker kBreakers[] = {
    {u",", true, true},  {u"(", true, false}, {u")", true, false}, {u"\"", true, true},
    {u"'", true, true},  {u";", true, true},  {u"{", true, true},  {u"}", true, true},
    {u"#", false, true}, {u"//", true, true}, {u"/*", true, true},
};

// The breakers `text` holds, each once, in order of first appearance, joined by blanks.
std::u16string BreakersIn(std::u16string_view text, bool definition) {
  std::u16string found;
  std::set<std::u16string_view> seen;
  for (std::size_t i = 0; i < text.size(); ++i) {
    for (const Breaker& breaker : kBreakers) {
      if (!(definition ? breaker.in_definition : breaker.in_argument)) continue;
      if (text.substr(i, breaker.text.size()) != breaker.text) continue;
      if (!seen.insert(breaker.text).second) continue;
      if (!found.empty()) found += u' ';
      found += breaker.text;
    }
  }
  return found;
}

// The reason text for the breakers found, or empty.
std::u16string BreakerReason(const std::u16string& found, std::u16string_view line) {
  if (found.empty()) return {};
  const bool one = found.find(u' ') == std::u16string::npos;
  return u"holds " + found + (one ? u" which breaks " : u" which break ") + std::u16string(line);
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

void Append(std::u16string* reasons, std::u16string_view reason) {
  if (reason.empty()) return;
  if (!reasons->empty()) *reasons += u"; ";
  *reasons += reason;
}

std::u16string Quoted(std::u16string_view text) { return u"\"" + std::u16string(text) + u"\""; }

// A measured entry, as the written file sees it.
struct Track {
  std::u16string_view key;
  std::u16string_view folder;
  std::u16string_view file_name;
  std::u16string_view class_name;
  bool written;              // has a class block
  bool keeps_class = false;  // its class name may stay (MarkKeptClassNames)
};

// A valid class name stays with the first track holding it in table order. Tracks in the file
// claim theirs before those left out, which would join them once renamed.
void MarkKeptClassNames(std::vector<Track>* tracks) {
  std::set<std::u16string> claimed;
  for (const bool written : {true, false}) {
    for (Track& track : *tracks) {
      if (track.written != written || !IsClassName(track.class_name)) continue;
      track.keeps_class = claimed.insert(FoldedCase(track.class_name)).second;
    }
  }
}

// Names the other tracks among `sharing` (indices into `tracks`, `self` among them) when there
// are any.
std::u16string SharedNameReason(const std::vector<Track>& tracks,
                                const std::vector<std::size_t>& sharing, std::size_t self) {
  if (sharing.size() < 2) return {};
  const Track& track = tracks[self];
  std::u16string others;
  bool other_case = false;
  for (const std::size_t j : sharing) {
    if (j == self) continue;
    if (!others.empty()) others += u", ";
    // A file name alone would not tell the same name in two folders apart.
    const Track& other = tracks[j];
    others += SameFolder(other.folder, track.folder) ? other.file_name : other.key;
    other_case = other_case || other.class_name != track.class_name;
  }
  return u"class name " + Quoted(track.class_name) + u" also used by " + others +
         (other_case ? u" (ignoring case)" : u"");
}

}  // namespace

std::vector<NameWarning> ConfigNameWarnings(const DurationTable& table) {
  std::vector<NameWarning> warnings;
  if (table.empty()) return warnings;
  const std::u16string_view folder = FolderOf(TrackPathKey(table));

  std::vector<Track> tracks;
  std::map<std::u16string, std::vector<std::size_t>> sharing;  // folded class name -> tracks
  SuggestedNames suggestions;
  for (const auto& [key, seconds] : table) {
    if (seconds < 0) continue;
    const std::u16string_view file_name = FileNameOf(key);
    const Track track{key, FolderOf(key), file_name, TrackClassName(file_name),
                      HasTrackBlock(key, seconds)};
    suggestions.Take(track.class_name);
    if (track.written) sharing[FoldedCase(track.class_name)].push_back(tracks.size());
    tracks.push_back(track);
  }

  MarkKeptClassNames(&tracks);

  bool any_outside = false;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const Track& track = tracks[i];
    std::u16string reasons;
    std::u16string breakers;
    if (!track.written) {
      Append(&reasons, u"holds " + Described(FindUnwritable(track.file_name)) +
                          u", left out of the file");
    } else {
      if (track.class_name.empty()) {
        Append(&reasons, u"empty class name");
      } else if (!IsClassName(track.class_name)) {
        Append(&reasons, u"class name " + Quoted(track.class_name) +
                            u" is not a letter or _ followed by letters, digits, _");
      }
      Append(&reasons, SharedNameReason(tracks, sharing[FoldedCase(track.class_name)], i));
      breakers = BreakersIn(track.file_name, false);
      Append(&reasons, BreakerReason(breakers, u"its sound[] line"));
    }
    if (!track.written || !track.keeps_class || !breakers.empty()) {
      const std::u16string class_name = track.keeps_class
                                            ? std::u16string(track.class_name)
                                            : suggestions.FreeFrom(track.class_name);
      Append(&reasons, u"rename to " + RenamedFile(track.file_name, class_name));
    }
    // One TRACK_PATH serves every track: the game looks for this one in the wrong folder.
    if (track.written && !SameFolder(track.folder, folder)) {
      Append(&reasons, u"in " + std::u16string(track.folder) + u", outside the TRACK_PATH folder");
      any_outside = true;
    }
    if (!reasons.empty()) warnings.push_back({std::u16string(track.file_name), reasons});
  }

  // The folder once, ahead of the tracks that point at it.
  std::u16string folder_reasons;
  if (const Unwritable found = FindUnwritable(folder); found != Unwritable::kNone) {
    Append(&folder_reasons, u"holds " + Described(found) + u", marked U+FFFD in TRACK_PATH");
  }
  Append(&folder_reasons, BreakerReason(BreakersIn(folder, true), u"the TRACK_PATH line"));
  if (any_outside || !folder_reasons.empty()) {
    std::u16string reasons = u"TRACK_PATH folder, where the game looks for every track";
    Append(&reasons, folder_reasons);
    warnings.insert(warnings.begin(), {std::u16string(folder), reasons});
  }
  return warnings;
}

void WriteNameWarnings(ConsoleOutput& console, const std::vector<NameWarning>& warnings) {
  WriteReasonBlock(console,
                   u"[Warning] Rename or move these before packing, or the game's config tools "
                   u"will reject or miss them:",
                   warnings);
}
