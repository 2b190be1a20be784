#pragma once

#include <string>
#include <string_view>

#include "console/duration_table.h"
#include "platform/file_io.h"

// Renders the generator's CfgMusic file: UTF-16LE code units with no byte-order mark, CR LF
// line ends, one tab per indentation level. Each text (with its values joined in) goes out in
// one Write call; the header is two.
//
// The writer does not own the file. With a null file (none could be created) every call does
// nothing. Keys are full track paths exactly as received; their folder and file name are split
// at the platform's folder separators (see platform/paths.h).
class MusicConfigWriter {
 public:
  explicit MusicConfigWriter(OutputFile* file) : file_(file) {}

  // "class CfgMusic" and its opening brace.
  void Begin();

  // The TRACK_NAME and TRACK_PATH macros; TRACK_PATH points at the folder of `key` (see
  // TrackPathKey), with U+FFFD in place of each character the file cannot hold as it is.
  // Written once, while the first entry in table order is handled.
  void Definitions(std::u16string_view key);

  // The track's class block, preceded by an empty line, when HasTrackBlock; else nothing.
  void Block(std::u16string_view key, float seconds);

  // The closing line of CfgMusic.
  void End();

  // True once any write to the file failed or was short. Stays false without a file.
  bool WriteFailed() const { return write_failed_; }

 private:
  void Put(std::u16string_view text);

  OutputFile* file_;
  bool write_failed_ = false;
};

// The class name of a track: its file name up to its last '.', or the whole file name when it
// holds none ("a.b.ogg" -> "a.b", ".ogg" -> "").
std::u16string_view TrackClassName(std::u16string_view file_name);

// Why a text cannot go into the file as it is. A control character (C0, DEL, C1) or a line or
// paragraph separator (U+2028, U+2029) would start a line of its own in an editor or the game's
// tools; an unpaired surrogate (from a name that is not UTF-8, say) makes the whole file
// invalid UTF-16.
enum class Unwritable { kNone, kControlCharacter, kLineSeparator, kNotUnicode };

// The first reason found in `text`, or kNone.
Unwritable FindUnwritable(std::u16string_view text);

// Whether the entry (full path `key`, `seconds`) gets a class block: it is measured and its
// file name can be written as it is.
bool HasTrackBlock(std::u16string_view key, float seconds);

// The key whose folder TRACK_PATH names: that of the first entry in table order with a class
// block, so that the tracks in the file point at real files; the first entry's when none has
// one. Empty for an empty table.
std::u16string_view TrackPathKey(const DurationTable& table);
