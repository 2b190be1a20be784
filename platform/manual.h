#pragma once

#include <string>
#include <string_view>

// Where the manual for the program `command` ("lumtass") is, as the user looks it up: "man
// lumtass" on POSIX, where the manual pages are installed; on Windows, where the programs come
// with a README.txt and no manual pages, the full path of the README.txt beside the running
// program (in the folder OutputFolderPrefix gives for `arg0`).
std::u16string ManualPlace(std::u16string_view command, std::u16string_view arg0);

// The help's line after the usage line, which speaks of dropping files onto an .exe: how the
// program `name` ("Lumtass") is started on this platform, without its line end. Empty on
// Windows, where the usage line says it.
std::u16string StartingHint(std::u16string_view name, std::u16string_view command);
