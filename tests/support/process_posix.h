#pragma once

#include <string>
#include <string_view>
#include <vector>

// Runs a built program the way a user or a script would, for the end-to-end tests.

struct RunOptions {
  // Run inside a new pseudo-terminal (standard input, output and error all on it) instead of
  // with pipes.
  bool terminal = false;
  // Bytes for standard input; with pipes it is then closed (end of input).
  std::string input;
  // With a terminal: `reply` is typed once the output contains `prompt`.
  std::string prompt;
  std::string reply;
  std::string working_dir;              // empty: the test's own
  std::vector<std::string> environment;  // "NAME=value" entries added to the test's own
  // Look argv[0] up through PATH (as a shell does for a bare name) instead of taking it as a
  // path; the PATH searched is the one after `environment` is applied.
  bool search_path = false;
  int timeout_seconds = 60;
};

struct RunResult {
  int exit_code = -1;          // -1 when killed by a signal or by the timeout
  bool timed_out = false;
  bool waited_at_prompt = false;  // still running when `prompt` appeared
  std::string output;          // standard output (with a terminal: everything shown on it)
  std::string error_output;    // standard error (pipes only)
};

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

// Path of a program built into the build folder's bin/.
std::string ProgramPath(std::string_view name);
