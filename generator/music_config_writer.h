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

  // The TRACK_NAME and TRACK_PATH macros. TRACK_PATH points at the folder of `key` (see
  // TrackPathKey in generator/name_rules.h) as WritableText makes it. Written once, while the
  // first entry in table order is handled.
  void Definitions(std::u16string_view key);

  // The track's class block, named TrackClassName, preceded by an empty line, when
  // HasTrackBlock; else nothing.
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
