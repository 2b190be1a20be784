#include <string>
#include <vector>

#include "console/console_output.h"
#include "console/duration_table.h"
#include "console/report.h"
#include "flow/measure_paths.h"
#include "flow/not_measured.h"
#include "flow/program_flow.h"
#include "generator/music_config_writer.h"
#include "generator/name_rules.h"
#include "generator/name_warnings.h"
#include "generator/output_naming.h"
#include "platform/editor.h"
#include "platform/entry.h"
#include "platform/manual.h"
#include "platform/paths.h"

namespace {

// What went wrong where, for the line after the write failure.
std::u16string WriteFailureDetail(std::u16string_view folder_prefix, const CreatedOutput& output) {
  const std::u16string why =
      !output.failure.empty()
          ? output.failure
          : u"config.cpp and " + OutputFileName(1) + u" to " +
                OutputFileName(kOutputNameAttempts - 1) + u" all exist";
  return u"Folder tried: " + FullPath(folder_prefix) + u" (" + why + u")\n";
}

// Measures every path, prints the table and writes the config file beside the program, whose
// path as started is `arg0`.
void Generate(ConsoleOutput& console, const std::u16string& arg0,
              const std::vector<std::u16string>& paths) {
  // Keyed by full path: the same file name from two folders gives two entries, and a relative
  // argument still names its folder in TRACK_PATH.
  const std::vector<float> measured = MeasurePaths(paths);
  std::vector<std::u16string> keys;
  DurationTable table;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    keys.push_back(FullPath(paths[i]));
    table.Store(keys.back(), measured[i]);
  }
  WriteHeader(console);

  const std::u16string folder_prefix = OutputFolderPrefix(arg0);
  CreatedOutput output = CreateOutputFile(folder_prefix);
  MusicConfigWriter writer(output.file.get());
  writer.Begin();
  bool first = true;
  bool any_measured = false;
  bool all_measured = true;
  for (const auto& [key, seconds] : table) {
    // TRACK_PATH points where the tracks in the file are, not at a stray n/a file's folder.
    if (first) writer.Definitions(TrackPathKey(table));
    first = false;
    WriteFileLine(console, FileNameOf(key), seconds);
    writer.Block(key, seconds);
    any_measured = any_measured || seconds >= 0;
    all_measured = all_measured && seconds >= 0;
  }
  writer.End();
  WriteNotMeasuredReasons(console, table, paths, keys);
  const std::vector<NameWarning> warnings = ConfigNameWarnings(table);
  WriteNameWarnings(console, warnings);
  if (!any_measured) WriteNote(console, u"No file was measured: the config holds no track.");

  // A truncated file (full disk, failed flush) is removed rather than given a name.
  if (FinishOutputFile(output, !writer.WriteFailed()) == OutputOutcome::kWritten) {
    // Wherever the editor shows it, or whether one starts at all, the user learns where it is.
    const bool opened = OpenInTextEditor(output.path);
    WriteNote(console, u"Written to " + FullPath(output.path) +
                           (opened ? u"; opening it in the text editor."
                                   : u"; no text editor could be started."));
    if (all_measured && warnings.empty()) {
      WriteNote(console,
                u"Next: before packing, set TRACK_PATH to the mod's folder and add the "
                u"TRACK_NAME keys to the mod's string table; see " +
                    ManualPlace(u"brevane", arg0) + u".");
    }
  } else {
    console.SetAttribute(kAttributeWriteFailure);
    console.Write(u"Could not write to file!\n");
    console.Write(WriteFailureDetail(folder_prefix, output));
  }
}

}  // namespace

int ProgramMain(const std::vector<std::u16string>& args) {
  const ProgramNames names{u"Orvend's Brevane v1.0", u"Brevane", u"brevane",
                           u"Lists the playing time of WAVE and Ogg Vorbis files and writes a "
                           u"CfgMusic config for them.",
                           true};
  return RunProgram(args, names,
                    [&args](ConsoleOutput& console, const std::vector<std::u16string>& paths) {
                      Generate(console, args[0], paths);
                    });
}
