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

// The file the generator writes, and its path (empty when no file was created).
struct CreatedOutput {
  std::unique_ptr<OutputFile> file;
  std::u16string path;
};

// Creates `folder_prefix` + the first name of the series that does not exist yet, each attempt
// exclusive, so nothing already there is replaced. After kOutputNameAttempts failures returns
// no file and an empty path.
CreatedOutput CreateOutputFile(std::u16string_view folder_prefix);

enum class OutputOutcome {
  kWritten,     // the file is complete and closed
  kNotCreated,  // there was no file
  kIncomplete,  // a write or the close failed; the file has been removed
};

// Closes the output. When `writes_complete` is false or the close fails, removes the file at
// `path` so no truncated file is left that looks finished.
OutputOutcome FinishOutputFile(CreatedOutput& output, bool writes_complete);
