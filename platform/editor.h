#pragma once

#include <string>

// Starts the system's text editor on the file at `path` and returns without waiting for it.
// Failure to start is silent. On Windows that is the system's Notepad, found by its full path
// (never by a search that a planted notepad.exe could answer), with the path as one quoted
// argument, in its \\?\ form from 260 characters on. On POSIX it is xdg-open, with the path as
// it is as its one argument.
void OpenInTextEditor(const std::u16string& path);
