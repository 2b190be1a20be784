#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"
#include "console/report.h"
#include "generator/music_config_writer.h"
#include "generator/name_warnings.h"
#include "generator/output_naming.h"
#include "platform/editor.h"
#include "platform/entry.h"
#include "platform/paths.h"
#include "probe/duration_probe.h"

namespace {

// Measures every argument, prints the table and writes the config file beside the program.
void Generate(ConsoleOutput& console, const std::vector<std::u16string>& args) {
  // Keyed by full path: the same file name from two folders gives two entries, and a relative
  // argument still names its folder in TRACK_PATH.
  DurationTable table;
  for (std::size_t i = 1; i < args.size(); ++i) {
    table.Store(FullPath(args[i]), DurationProbe(args[i]));
  }
  WriteHeader(console);

  CreatedOutput output = CreateOutputFile(OutputFolderPrefix(args[0]));
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
    OpenInTextEditor(output.path);
  } else {
    console.SetAttribute(kAttributeWriteFailure);
    console.Write(u"Could not write to file!\n");
  }
}

}  // namespace

int ProgramMain(const std::vector<std::u16string>& args) {
  const auto console = ConsoleOutput::SetUp(u"Orvend's Brevane v1.0");
  if (args.size() < 2) {
    WriteUsage(*console);
  } else {
    Generate(*console, args);
  }
  WriteClosing(*console);
  return console->OutputLost() ? 1 : 0;
}
