#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"
#include "console/report.h"
#include "flow/measure_paths.h"
#include "flow/not_measured.h"
#include "flow/program_flow.h"
#include "platform/entry.h"
#include "platform/paths.h"

int ProgramMain(const std::vector<std::u16string>& args) {
  const ProgramNames names{
      u"Orvend's Lumtass v1.0", u"Lumtass", u"lumtass",
      u"Lists the playing time of WAVE and Ogg Vorbis files, one line per file name.", false};
  return RunProgram(args, names,
                    [](ConsoleOutput& console, const std::vector<std::u16string>& paths) {
                      // Keyed by file name: one line per distinct name, the later path's
                      // duration winning: stored in argument order once all are measured.
                      const std::vector<float> measured = MeasurePaths(paths);
                      std::vector<std::u16string> keys;
                      DurationTable table;
                      for (std::size_t i = 0; i < paths.size(); ++i) {
                        keys.emplace_back(FileNameOf(paths[i]));
                        table.Store(keys.back(), measured[i]);
                      }
                      WriteHeader(console);
                      for (const auto& [name, seconds] : table) {
                        WriteFileLine(console, name, seconds);
                      }
                      WriteNotMeasuredReasons(console, table, paths, keys);
                    });
}
