#pragma once

#include <string>
#include <string_view>

// The UTF-16 text held everywhere inside the programs: what its code units are, and its
// conversions to and from the UTF-8 bytes that POSIX file names, arguments and terminals use.

// U+FFFD, shown or written in place of a character that cannot be shown or written as it is.
inline constexpr char16_t kReplacementCharacter = 0xFFFD;

// The first (U+D800..U+DBFF) and second (U+DC00..U+DFFF) halves of a surrogate pair. Either
// one alone is no character.
constexpr bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A control character: C0 (U+0000..U+001F), DEL (U+007F) or C1 (U+0080..U+009F).
constexpr bool IsControlCharacter(char16_t unit) {
  return unit < 0x20 || (unit >= 0x7F && unit <= 0x9F);
}

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
