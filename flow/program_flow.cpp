#include "flow/program_flow.h"

#include <algorithm>

#include "console/report.h"
#include "platform/folder.h"
#include "platform/manual.h"
#include "platform/paths.h"

namespace {

enum class Request { kMeasure, kHelp, kVersion };

struct CommandLine {
  Request request = Request::kMeasure;
  std::vector<std::u16string> paths;
};

CommandLine ReadCommandLine(const std::vector<std::u16string>& args) {
  CommandLine command;
  bool options_ended = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::u16string& arg = args[i];
    if (!options_ended) {
      // Only these exact words: a file may well be named "-x.ogg", and a drop passes full paths.
      if (arg == u"--") {
        options_ended = true;
        continue;
      }
      if (arg == u"-h" || arg == u"--help" || arg == u"/?") {
        command.request = Request::kHelp;
        return command;
      }
      if (arg == u"--version") {
        command.request = Request::kVersion;
        return command;
      }
    }
    command.paths.push_back(arg);
  }
  return command;
}

std::vector<std::u16string> ExpandFolders(const std::vector<std::u16string>& paths) {
  std::vector<std::u16string> expanded;
  std::vector<std::u16string> names;
  for (const std::u16string& path : paths) {
    if (!ListFolderFiles(path, &names)) {
      expanded.push_back(path);
      continue;
    }
    if (names.empty()) {
      // Listed, as n/a, so the user sees that the folder gave nothing.
      expanded.emplace_back(WithoutTrailingSeparators(path));
      continue;
    }
    // A fixed order: with keys by file name, which file wins must not depend on the disk.
    std::sort(names.begin(), names.end());
    for (const std::u16string& name : names) expanded.push_back(JoinPath(path, name));
  }
  return expanded;
}

// The usage line is a Windows user's; the lines after it say the rest to anyone.
void WriteHelp(ConsoleOutput& console, const ProgramNames& names, std::u16string_view arg0) {
  WriteUsage(console);
  const std::u16string hint = StartingHint(names.name, names.command);
  if (!hint.empty()) WriteNote(console, hint);
  const std::u16string command(names.command);
  WriteNote(console, names.summary);
  WriteNote(console,
            u"  " + command + u" [--] FILE|FOLDER...  a folder stands for the files in it");
  WriteNote(console, u"  " + command + u" --help | --version");
  if (names.writes_config) {
    WriteNote(console, u"The config goes into " + FullPath(OutputFolderPrefix(arg0)) +
                           u" as config.cpp, or config(1).cpp ... config(99).cpp when taken.");
  }
  WriteNote(console, u"See " + ManualPlace(command, arg0) + u".");
}

void WriteVersion(ConsoleOutput& console, std::u16string_view name) {
  console.SetAttribute(kAttributeUsage);
  console.Write(std::u16string(name) + u" " + u"" PROGRAM_VERSION + u"\n");
}

}  // namespace

int RunProgram(const std::vector<std::u16string>& args, const ProgramNames& names,
               const MeasureAndReport& measure_and_report) {
  const CommandLine command = ReadCommandLine(args);
  const auto console = ConsoleOutput::SetUp(names.title);
  // Help and version answer a question typed at a prompt: no table, no file, no pause.
  if (command.request == Request::kHelp) {
    WriteHelp(*console, names, args.empty() ? std::u16string() : args[0]);
    return console->OutputLost() ? 1 : 0;
  }
  if (command.request == Request::kVersion) {
    WriteVersion(*console, names.name);
    return console->OutputLost() ? 1 : 0;
  }
  if (command.paths.empty()) {
    WriteUsage(*console);
  } else {
    measure_and_report(*console, ExpandFolders(command.paths));
  }
  WriteClosing(*console);
  // A list cut short by a write error must not pass for a whole one.
  return console->OutputLost() ? 1 : 0;
}
