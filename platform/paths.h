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

// Whether folder texts `a` and `b` name one folder as the platform matches names: exactly on
// POSIX; on Windows ignoring case, as its file systems do ("C:\Music" and "c:\MUSIC" are
// one). Text only: nothing on disk is asked, no link or ".." is resolved.
bool SameFolder(std::u16string_view a, std::u16string_view b);

// What goes in front of the generator's output file name. On Windows: the folder of the
// running executable as the system reports it (whatever argument 0 holds: a bare name typed in
// cmd, forward slashes from a script), in plain form, followed by a backslash; argument 0's
// folder only when the system cannot say. On POSIX, where nothing reports a program's own
// path reliably: argument 0 (the program's path as started) up to and including its last
// separator, or empty (the current folder) when it holds none, as when started by name through
// PATH.
std::u16string OutputFolderPrefix(std::u16string_view arg0);

// `name` inside the folder `folder`: joined with the platform's own separator ('/' on POSIX,
// the backslash on Windows), or without one when `folder` already ends in a separator; `name`
// alone when `folder` is empty. On Windows a bare drive (`C:`) is taken as its current folder
// (`C:.\name`), as the system takes it.
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// `path` without the platform's own separators at its end (`Music/` gives `Music`), or `path`
// as it is when nothing else would be left (`/`).
std::u16string_view WithoutTrailingSeparators(std::u16string_view path);

// `path` as a full path, for keying a file by where it is, made the same way on every
// platform: relative to the current folder, "." segments dropped, ".." taken back as text (no
// link resolved), repeated separators collapsed, a trailing separator kept. On Windows, in the
// plain long form a user knows: what GetFullPathNameW makes of it (relative to the current
// folder and drive, forward slashes resolved), an extended-length path without its prefix
// (see WithoutExtendedPrefix), and 8.3 short names expanded where the file exists. On POSIX
// only '/' counts there, as for the system: a backslash stays part of a name. `path` itself
// when it is relative and the current folder cannot be read.
std::u16string FullPath(std::u16string_view path);

// A Windows extended-length path in its plain form: "\\?\C:\x" gives "C:\x" and
// "\\?\UNC\server\share\x" gives "\\server\share\x". Any other text comes back as it is.
std::u16string WithoutExtendedPrefix(std::u16string_view path);
