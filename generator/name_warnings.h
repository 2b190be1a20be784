#pragma once

#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"

// Names are written into the config file as they are. These are the ones the game's config
// tools will reject (or that never reach the file), so the user can rename the files before
// packing.
struct NameWarning {
  std::u16string name;    // as the user knows it: a file name, or the TRACK_PATH folder
  std::u16string reason;  // short, one line
};

// The warnings for the file written from `table` (keys are full paths), in table order: the
// TRACK_PATH folder (see TrackPathKey) when it holds what the file cannot hold as it is; then
// each measured entry whose file name cannot be written (left out of the file), or whose
// class name is empty, is not a letter or underscore followed by letters, digits and
// underscores (ASCII), or equals another measured entry's ignoring ASCII case, or whose folder
// is not the TRACK_PATH folder (SameFolder). Several reasons for one entry share its line.
// Entries that are not measured give none: they write nothing.
std::vector<NameWarning> ConfigNameWarnings(const DurationTable& table);

// One block after the table: an empty line, a heading and one "name  -  reason" line per
// warning, in kAttributeNameWarning. Nothing at all when `warnings` is empty.
void WriteNameWarnings(ConsoleOutput& console, const std::vector<NameWarning>& warnings);
