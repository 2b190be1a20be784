#pragma once

#include <string>
#include <string_view>

// True for a character that ends the folder part of a path on this platform: the backslash
// everywhere, and also '/' on POSIX.
bool IsFolderSeparator(char16_t c);

// The text after the last folder separator of `path`, or all of it when it holds none.
std::u16string_view FileNameOf(std::u16string_view path);

// The text before the last folder separator of `path`, or all of it when it holds none.
std::u16string_view FolderOf(std::u16string_view path);

// What goes in front of the generator's output file name, derived from argument 0 (the
// program's own path as started). On Windows: the folder of argument 0 (all of it when it
// holds no backslash) followed by a backslash. On POSIX: argument 0 up to and including its
// last separator, or empty (the current folder) when it holds none, as when started by name
// through PATH.
std::u16string OutputFolderPrefix(std::u16string_view arg0);

// `path` as a full path, for keying a file by where it is. On Windows, what GetFullPathNameW
// makes of it (relative to the current folder and drive; the disk is not consulted). On POSIX,
// a path starting with '/' as it is, else the current folder, '/' and the path joined as text
// (no "." or ".." removed, no link resolved). `path` itself when the current folder cannot be
// read.
std::u16string FullPath(std::u16string_view path);
