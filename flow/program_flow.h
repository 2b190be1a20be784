#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_output.h"

// What a program is called in the texts that name it.
struct ProgramNames {
  std::u16string_view title;    // the console window's title, "Orvend's Lumtass v1.0"
  std::u16string_view name;     // in the version line, "Lumtass"
  std::u16string_view command;  // in the help's command lines and pointer to the manual
  std::u16string_view summary;  // the help's line saying what the program does
  bool writes_config = false;   // the help says where config.cpp goes
};

// Measures `paths` (never empty) and reports them on `console`, up to but not including the
// closing.
using MeasureAndReport =
    std::function<void(ConsoleOutput& console, const std::vector<std::u16string>& paths)>;

// The run both programs share, from the set-up of the console to the exit code: 0, or 1 when
// standard output lost text to a write error (see ConsoleOutput::OutputLost).
// `args` is the command line, argument 0 first.
//
// Options: before a "--", an argument that is exactly "-h", "--help" or "/?" asks for help (the
// usage line; on POSIX how to start the program there (StartingHint); the summary; the command
// lines; for a program that writes config.cpp, the folder it goes into; where the manual is)
// and "--version" for the name and version; the first such argument decides, the paths are
// then not measured and there is no closing: no pause. The first "--" is dropped and every
// argument after it is a path. Any other argument is a path, one starting with "-" ("-x.ogg")
// included.
//
// A path naming a folder stands for the files directly inside it (see ListFolderFiles),
// joined to it, in ascending code-unit order of their names, as if they had been dropped in
// that order (for Lumtass, which keys by file name, the later one wins). A folder without
// such files stands for itself without its trailing separators, so it is listed as n/a under
// its own name. Without paths: the usage line. Otherwise `measure_and_report` is called with
// the paths. Every run but help and version ends with the closing.
int RunProgram(const std::vector<std::u16string>& args, const ProgramNames& names,
               const MeasureAndReport& measure_and_report);
