#pragma once

#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"

// Why the file at `path`, measured as n/a, could not be measured: one line for the user that
// says what it is and what to do. Looks at the path again: what it names (ExaminePath), what
// its first bytes hold (SniffContent) and, for WAVE and Ogg Vorbis, which check refuses it
// (WaveReader, CheckOggVorbisHeaders, CanFindOggLength), naming the cap it goes beyond. Reads
// no more than those checks do, and nothing that could block.
std::u16string NotMeasuredReason(const std::u16string& path);

// The block after the table that explains its n/a lines, in table order, each under the file
// name the table shows for it. `keys[i]` is the key `paths[i]` was stored under; an entry is
// explained by the last path stored under its key, whose value the table holds. Nothing when
// every entry was measured.
void WriteNotMeasuredReasons(ConsoleOutput& console, const DurationTable& table,
                             const std::vector<std::u16string>& paths,
                             const std::vector<std::u16string>& keys);
