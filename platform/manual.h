#pragma once

#include <string>
#include <string_view>

// The line that follows the usage line in a program's help, without its line end: where the
// manual for `command` ("lumtass") is. "See man lumtass." on POSIX, where the manual pages are
// installed; empty on Windows, where the programs come with a README.txt and no manual pages.
std::u16string ManualPointer(std::u16string_view command);
