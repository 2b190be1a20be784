#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"
#include "console/report.h"
#include "flow/program_flow.h"
#include "platform/entry.h"
#include "platform/paths.h"
#include "probe/duration_probe.h"

int ProgramMain(const std::vector<std::u16string>& args) {
  return RunProgram(args, {u"Orvend's Lumtass v1.0", u"Lumtass", u"lumtass"},
                    [](ConsoleOutput& console, const std::vector<std::u16string>& paths) {
                      // Keyed by file name: one line per distinct name, the later path's
                      // duration winning.
                      DurationTable table;
                      for (const std::u16string& path : paths) {
                        table.Store(std::u16string(FileNameOf(path)), DurationProbe(path));
                      }
                      WriteHeader(console);
                      for (const auto& [name, seconds] : table) {
                        WriteFileLine(console, name, seconds);
                      }
                    });
}
