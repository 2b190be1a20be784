#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/file_io.h"

// The generator's output names: config.cpp, then config(1).cpp ... config(99).cpp.
inline constexpr int kOutputNameAttempts = 100;

// The name tried at `attempt` (0 .. kOutputNameAttempts - 1): "config.cpp" for 0, else
// "config(" + attempt + ").cpp".
std::u16string OutputFileName(int attempt);

// The file the generator writes. It is written under a temporary name in the output folder and
// takes its name of the series only once complete, so a run cut short never leaves a partial
// config file.
struct CreatedOutput {
  std::unique_ptr<OutputFile> file;  // null when no file could be created
  std::u16string folder_prefix;      // the output folder, ending in a separator (or empty)
  std::u16string temporary_path;     // where the file is until it is finished
  std::u16string path;               // its name of the series; set once it has one
  std::u16string failure;            // why it was not written, in the system's words; empty
                                     // while nothing failed, and when every name was taken
};

// Creates the temporary output file in `folder_prefix`. Without a file, `file` is null, the
// paths are empty and `failure` says why.
CreatedOutput CreateOutputFile(std::u16string_view folder_prefix);

enum class OutputOutcome {
  kWritten,     // the file is complete and has the first free name of the series, in `path`
  kNotCreated,  // there was no file
  kIncomplete,  // a write, the flush or the close failed; the file has been removed
  kNoFreeName,  // every name of the series was taken or could not be given; file removed
};

// Flushes and closes the output. When `writes_complete` and that succeed, gives it the first
// name of the series that nothing has yet (never replacing anything, even a name taken while
// the file was being written). Otherwise removes the temporary file, and sets `failure` to the
// reason the file gave for its first failed write or close, or the last name that failed for
// another reason than being taken.
OutputOutcome FinishOutputFile(CreatedOutput& output, bool writes_complete);
