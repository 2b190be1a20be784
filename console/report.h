#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_output.h"

// Console attributes (background * 16 + foreground) of the report texts.
inline constexpr std::uint16_t kAttributeStartup = 1;
inline constexpr std::uint16_t kAttributeUsage = 13;
inline constexpr std::uint16_t kAttributeHeader = 7;
inline constexpr std::uint16_t kAttributeMeasured = 10;
inline constexpr std::uint16_t kAttributeNotMeasured = 12;
inline constexpr std::uint16_t kAttributeWriteFailure = 198;
// What follows the table to explain it (why lines are n/a, names to change, where the file
// went, what to do next): the usage line's colour, set apart from the table's.
inline constexpr std::uint16_t kAttributeNote = kAttributeUsage;

// One line of a block after the table: what it is about, as the user knows it (a file name, a
// folder), and one line saying why, and what to do.
struct NamedReason {
  std::u16string name;
  std::u16string reason;
};

// The report texts shared by both programs, each set in its attribute before it is written.
void WriteUsage(ConsoleOutput& console);
void WriteHeader(ConsoleOutput& console);
// One table line: `name` with its duration text, or with n/a when `seconds` is negative.
void WriteFileLine(ConsoleOutput& console, std::u16string_view name, float seconds);
// A block after the table: an empty line, `heading` and one "name  -  reason" line per entry,
// in kAttributeNote. Nothing at all when `lines` is empty.
void WriteReasonBlock(ConsoleOutput& console, std::u16string_view heading,
                      const std::vector<NamedReason>& lines);
// One line in kAttributeNote.
void WriteNote(ConsoleOutput& console, std::u16string_view line);
// The closing newline and the pause; every run ends with it.
void WriteClosing(ConsoleOutput& console);
