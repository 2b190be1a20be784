#pragma once

#include <string>
#include <string_view>

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

  // The TRACK_NAME and TRACK_PATH macros; TRACK_PATH points at the folder of `first_key`,
  // with U+FFFD in place of each control character it holds (one would end the line).
  // Written once, for the first entry in table order, whatever its seconds.
  void Definitions(std::u16string_view first_key);

  // The track's class block, preceded by an empty line, when `seconds` >= 0 and the file name
  // holds no control character (one would add lines of its own to the file); else nothing.
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

// True when `text` holds a control character (U+0000..U+001F, U+007F), which is never written
// into the file.
bool HoldsControlCharacter(std::u16string_view text);

// Whether the entry (full path `key`, `seconds`) gets a class block: it is measured and its
// file name holds no control character.
bool HasTrackBlock(std::u16string_view key, float seconds);
