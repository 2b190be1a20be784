#pragma once

#include <string>

// Starts the system's text editor on the file at `path` and returns without waiting for it.
// On Windows that is the system's Notepad, found by its full path (never by a search that a
// planted notepad.exe could answer), with the path as one quoted argument, in its \\?\ form
// from 260 characters on. On POSIX it is xdg-open, with the path as it is as its one argument.
// Returns false when the editor could not be started: no Notepad, or ShellExecuteW reporting
// failure; no xdg-open to run on PATH (or none that can be run). What the editor does once
// started (xdg-open finding no display, say) is not known here: that counts as started.
bool OpenInTextEditor(const std::u16string& path);
