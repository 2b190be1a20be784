#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"
#include "console/report.h"
#include "flow/measure_paths.h"
#include "flow/program_flow.h"
#include "generator/music_config_writer.h"
#include "generator/name_rules.h"
#include "generator/name_warnings.h"
#include "generator/output_naming.h"
#include "platform/editor.h"
#include "platform/entry.h"
#include "platform/paths.h"

namespace {

// Measures every path, prints the table and writes the config file beside the program, whose
// path as started is `arg0`.
void Generate(ConsoleOutput& console, const std::u16string& arg0,
              const std::vector<std::u16string>& paths) {
  // Keyed by full path: the same file name from two folders gives two entries, and a relative
  // argument still names its folder in TRACK_PATH.
  const std::vector<float> measured = MeasurePaths(paths);
  DurationTable table;
  for (std::size_t i = 0; i < paths.size(); ++i) table.Store(FullPath(paths[i]), measured[i]);
  WriteHeader(console);

  CreatedOutput output = CreateOutputFile(OutputFolderPrefix(arg0));
  MusicConfigWriter writer(output.file.get());
  writer.Begin();
  bool first = true;
  for (const auto& [key, seconds] : table) {
    // TRACK_PATH points where the tracks in the file are, not at a stray n/a file's folder.
    if (first) writer.Definitions(TrackPathKey(table));
    first = false;
    WriteFileLine(console, FileNameOf(key), seconds);
    writer.Block(key, seconds);
  }
  writer.End();
  WriteNameWarnings(console, ConfigNameWarnings(table));

  // A truncated file (full disk, failed flush) is removed rather than given a name.
  if (FinishOutputFile(output, !writer.WriteFailed()) == OutputOutcome::kWritten) {
    // Without an editor the file would appear nowhere the user looks: say where it is.
    if (!OpenInTextEditor(output.path)) {
      console.SetAttribute(kAttributeUsage);
      console.Write(u"Written to " + FullPath(output.path) +
                    u"; no text editor could be started.\n");
    }
  } else {
    console.SetAttribute(kAttributeWriteFailure);
    console.Write(u"Could not write to file!\n");
  }
}

}  // namespace

int ProgramMain(const std::vector<std::u16string>& args) {
  return RunProgram(args, {u"Orvend's Brevane v1.0", u"Brevane", u"brevane"},
                    [&args](ConsoleOutput& console, const std::vector<std::u16string>& paths) {
                      Generate(console, args[0], paths);
                    });
}
