#pragma once

#include <string>

// Starts the system's text editor on the file at `path`, passed as it is (not made absolute,
// not quoted), and returns without waiting for the editor. Failure to start is silent.
void OpenInTextEditor(const std::u16string& path);
