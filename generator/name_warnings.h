#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"
#include "console/report.h"

// Names are written into the config file as they are. These are the ones the game's config
// tools will reject, that break the file's lines or never reach the file, and the tracks the
// game will look for in the wrong folder, so the user can rename or move the files before
// packing. Each names a file name or the TRACK_PATH folder, and says what is wrong and what to
// rename the file to.
using NameWarning = NamedReason;

// The warnings for the file written from `table` (keys are full paths).
//
// The rules explained are those of generator/name_rules.h. First the TRACK_PATH folder (see
// TrackPathKey), when a track lies outside it or it holds what the file cannot hold as it is
// (FindUnwritable) or a character that breaks its #define line. Then, in table order, each
// measured entry: whose file name cannot be written (it is left out of the file); whose class
// name is empty, is not a letter or underscore followed by letters, digits and underscores
// (ASCII), or is another written entry's too, ignoring ASCII case (naming the others: by file
// name in the same folder, else by full path); whose file name holds a character that ends or
// splits its macro argument or its sound[] line; or whose folder is not the TRACK_PATH folder
// (SameFolder), naming that folder. One line per entry, its reasons joined by "; ".
//
// Each entry to rename comes with a file name to rename it to. A valid class name stays with
// the first entry holding it (entries in the file before those left out); any other entry
// gets ValidClassName of its own ("Track" when that is empty) with "_2", "_3" ... appended
// until no measured entry and no earlier suggestion holds it, ignoring case. Its extension
// follows in class-name characters, without the dot when none is left. Entries that are not
// measured give nothing: they write nothing.
std::vector<NameWarning> ConfigNameWarnings(const DurationTable& table);

// One block after the table (WriteReasonBlock) with a heading that says what to do with them.
void WriteNameWarnings(ConsoleOutput& console, const std::vector<NameWarning>& warnings);
