#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The bytes that carry the console report to a terminal that understands ANSI escapes. Each
// function only builds text; writing it is up to the caller.

// Makes the terminal show later text in the colours of console attribute `attribute`
// (background index * 16 + foreground index, bits above the low byte ignored), as 24-bit
// colours from kPalette: "\x1b[38;2;R;G;B;48;2;R;G;Bm".
std::string AttributeEscape(std::uint16_t attribute);

// Sets the terminal window's title to `title`, as UTF-8 with every control character
// removed, so that the title cannot end the escape early or start another one.
std::string TitleEscape(std::u16string_view title);

// Saves the terminal's window and icon titles on its title stack, and shows the last ones
// saved again. A terminal without a title stack ignores both.
inline constexpr std::string_view kSaveTitleEscape = "\x1b[22;0t";
inline constexpr std::string_view kRestoreTitleEscape = "\x1b[23;0t";

// Makes the text cursor visible.
inline constexpr std::string_view kShowCursorEscape = "\x1b[?25h";

// Returns the terminal to its default colours.
inline constexpr std::string_view kResetEscape = "\x1b[0m";

// `text` as UTF-8 for a terminal: DisplayText (console/display_text.h) first, so that text
// taken from file names can neither move the cursor, start an escape nor split a row. A byte
// that a name held outside valid UTF-8 (a lone surrogate U+DC80..U+DCFF, see platform/utf.h)
// is passed on as that raw byte, except 0x80..0x9F, which some terminals take as C1 controls
// and which become U+FFFD too.
std::string TerminalText(std::u16string_view text);
