#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"
#include "console/report.h"
#include "platform/entry.h"
#include "platform/paths.h"
#include "probe/duration_probe.h"

int ProgramMain(const std::vector<std::u16string>& args) {
  const auto console = ConsoleOutput::SetUp(u"Orvend's Lumtass v1.0");
  if (args.size() < 2) {
    WriteUsage(*console);
  } else {
    // Keyed by file name: one line per distinct name, the later argument's duration winning.
    DurationTable table;
    for (std::size_t i = 1; i < args.size(); ++i) {
      table.Store(std::u16string(FileNameOf(args[i])), DurationProbe(args[i]));
    }
    WriteHeader(*console);
    for (const auto& [name, seconds] : table) WriteFileLine(*console, name, seconds);
  }
  WriteClosing(*console);
  return console->OutputLost() ? 1 : 0;
}
