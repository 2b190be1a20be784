#pragma once

#include <cstdint>
#include <string_view>

#include "console/console_output.h"

// Console attributes (background * 16 + foreground) of the report texts.
inline constexpr std::uint16_t kAttributeStartup = 1;
inline constexpr std::uint16_t kAttributeUsage = 13;
inline constexpr std::uint16_t kAttributeHeader = 7;
inline constexpr std::uint16_t kAttributeMeasured = 10;
inline constexpr std::uint16_t kAttributeNotMeasured = 12;
inline constexpr std::uint16_t kAttributeWriteFailure = 198;
// The generator's warning about names in its file: the usage line's colour, set apart from
// the table's.
inline constexpr std::uint16_t kAttributeNameWarning = kAttributeUsage;

// The report texts shared by both programs, each set in its attribute before it is written.
void WriteUsage(ConsoleOutput& console);
void WriteHeader(ConsoleOutput& console);
// One table line: `name` with its duration text, or with n/a when `seconds` is negative.
void WriteFileLine(ConsoleOutput& console, std::u16string_view name, float seconds);
// The closing newline and the pause; every run ends with it.
void WriteClosing(ConsoleOutput& console);
