#pragma once

#include <string>
#include <string_view>

// Conversions between the UTF-16 text held everywhere inside the programs and the UTF-8 bytes
// that POSIX file names, arguments and terminals use.
//
// Names on POSIX are bytes, not always valid UTF-8. So that every name survives the round
// trip, each byte that is not part of a valid UTF-8 sequence becomes a lone surrogate
// U+DC80..U+DCFF (the byte's value + 0xDC00), and Utf16ToUtf8 turns such a surrogate back
// into that byte.

// Decodes UTF-8 bytes. Never fails: invalid bytes (stray continuation bytes, overlong forms,
// encoded surrogates, values above U+10FFFF, truncated sequences) are escaped one byte each.
std::u16string Utf8ToUtf16(std::string_view bytes);

// Encodes UTF-16 text. A lone surrogate U+DC80..U+DCFF becomes the byte it stands for; any
// other unpaired surrogate becomes U+FFFD, since no byte name can have produced it.
std::string Utf16ToUtf8(std::u16string_view text);
