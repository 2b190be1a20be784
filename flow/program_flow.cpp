#include "flow/program_flow.h"

#include "console/report.h"
#include "platform/manual.h"

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

void WriteHelp(ConsoleOutput& console, std::u16string_view command) {
  WriteUsage(console);
  const std::u16string pointer = ManualPointer(command);
  if (!pointer.empty()) console.Write(pointer + u"\n");
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
    WriteHelp(*console, names.command);
    return 0;
  }
  if (command.request == Request::kVersion) {
    WriteVersion(*console, names.name);
    return 0;
  }
  if (command.paths.empty()) {
    WriteUsage(*console);
  } else {
    measure_and_report(*console, command.paths);
  }
  WriteClosing(*console);
  return 0;
}
