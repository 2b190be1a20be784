#pragma once

#include <string>
#include <string_view>

// `text` as a console or terminal may show it: U+FFFD in place of every C0 control character
// (a line feed too, unless it ends the text), DEL, every C1 control character and every
// bidirectional embedding, override or isolate (U+202A..U+202E, U+2066..U+2069). Each write
// is at most one line, so a name can then neither move the cursor, nor start a fake row, nor
// show its characters in an order other than the one they have. Everything else is kept.
std::u16string DisplayText(std::u16string_view text);
