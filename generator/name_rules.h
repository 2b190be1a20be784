#pragma once

#include <string>
#include <string_view>

#include "console/duration_table.h"

// What the config file makes of a track's full path (a key of the table): its class name,
// whether its block can be written, and which track's folder TRACK_PATH names. The writer
// follows these rules and the name warnings explain them to the user.

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

// `text` with U+FFFD in place of each code unit FindUnwritable objects to (each half of a
// broken surrogate pair on its own): one line of valid text, as long as `text`.
std::u16string WritableText(std::u16string_view text);

// Whether the entry (full path `key`, `seconds`) gets a class block: it is measured and its
// file name can be written as it is.
bool HasTrackBlock(std::u16string_view key, float seconds);

// The key whose folder TRACK_PATH names: that of the first entry in table order with a class
// block, so that the tracks in the file point at real files; the first entry's when none has
// one. Empty for an empty table.
std::u16string_view TrackPathKey(const DurationTable& table);
