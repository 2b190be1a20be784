#pragma once

#include <string>
#include <string_view>

// Windows only: shared by the platform's Windows files.

// Below this length of a full path every file call takes the plain form (CreateDirectory's
// limit, the lowest, is 248 characters).
inline constexpr std::size_t kPlainPathLimit = 248;

// `path` in the form the file calls accept: as it is when its full form is short or it already
// has a \\?\ or \\.\ prefix, else its full path in the \\?\ form (\\?\UNC\ for a share), which
// has no 260-character limit.
std::wstring FileCallPath(std::u16string_view path);
