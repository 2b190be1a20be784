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

// `path` as a full path, for keying a file by where it is. On Windows, in the plain long form a
// user knows: what GetFullPathNameW makes of it (relative to the current folder and drive,
// forward slashes and ".." resolved), an extended-length path without its prefix (see
// WithoutExtendedPrefix), and 8.3 short names expanded where the file exists. On POSIX, a
// path starting with '/' as it is, else the current folder, '/' and the path joined as text
// (no "." or ".." removed, no link resolved). `path` itself when the current folder cannot be
// read.
std::u16string FullPath(std::u16string_view path);

// A Windows extended-length path in its plain form: "\\?\C:\x" gives "C:\x" and
// "\\?\UNC\server\share\x" gives "\\server\share\x". Any other text comes back as it is.
std::u16string WithoutExtendedPrefix(std::u16string_view path);
