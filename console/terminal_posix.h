#pragma once

#include <string_view>

// The POSIX console's hold on its terminal. The hold covers the title and the colours set on
// standard output and the key mode set on standard input for the pause:
// whatever ends or stops the program gives both back, and continuing in the foreground takes
// them again. The terminal is never touched from a background process group (another job owns
// it then). Single-threaded use only.

// Installs the handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT (give back, then end by that
// same signal with its default action), SIGTSTP (give back, then stop) and SIGCONT (take
// again). A signal the starter ignored stays ignored. Called once, before the first escape.
void GuardTerminal();

// Records `escape` (at most 64 bytes) as the colours in force on standard output from now on,
// sent again when the program continues after a stop. Once any escape is recorded, giving back
// resets the colours. Called before the escape is written, so a stop in between cannot bring
// back the colours it replaces.
void NoteColours(std::string_view escape);

// Records `escape` (at most 256 bytes) as the title this program shows, saved on the
// terminal's title stack. Giving back restores the title saved before it (kRestoreTitleEscape),
// once; taking again saves that title and shows `escape` again. Called after the title is saved
// and before `escape` is shown.
void NoteTitle(std::string_view escape);

// Stops holding the title; returns whether it is still saved and shown, in which case the
// caller restores it.
bool ForgetTitle();

// Puts a terminal on standard input into key mode: no line editing and no echo, so one key
// press can be read at once; Ctrl+C and Ctrl+Z still send their signals. Returns false, and
// changes nothing, when standard input is not a terminal.
bool EnterKeyMode();

// Drops what was typed ahead and gives standard input back the settings key mode found.
void LeaveKeyMode();
