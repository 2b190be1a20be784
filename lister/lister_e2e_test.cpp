// Runs the built lumtass as a user or a script would and compares everything it prints.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process_posix.h"
#include "tests/support/wave_bytes.h"

namespace {

const std::string kUsage = "[Usage] Drag and drop .wav and/or .ogg files onto this .exe\n";
const std::string kHeader =
    "-------------------------\n[Filename]  -  [Duration]\n-------------------------\n";
const std::string kPrompt = "Press any key to continue . . . ";
// The closing newline, the prompt, and the newline written once the wait is over.
const std::string kClosing = "\n" + kPrompt + "\n";
// Foreground RGB, then background RGB (palette index 0), per attribute.
const std::string kHeaderColours = "\x1b[38;2;89;102;117;48;2;25;25;25m";
const std::string kMeasuredColours = "\x1b[38;2;182;174;118;48;2;25;25;25m";
const std::string kTerminalStart = "\x1b]0;Orvend's Lumtass v1.0\x07\x1b[?25h"
                                   "\x1b[38;2;255;255;255;48;2;25;25;25m";
const std::string kReset = "\x1b[0m";

// Every "\n" as "\r\n", as a terminal's output processing shows it.
std::string OnTerminal(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

class ListerTest : public ::testing::Test {
 protected:
  ListerTest() {
    // 12345 bytes at 8000 per second: 1543 ms; 16000: 2000 ms; 26000: 3250 ms.
    WriteBytes(Path("b.wav"), PcmWave(8000, 12345));
    WriteBytes(Path("A.wav"), PcmWave(8000, 16000));
    WriteBytes(first_.File("x.wav"), PcmWave(8000, 26000));
    WriteBytes(second_.File("x.wav"), PcmWave(8000, 16000));
    std::filesystem::create_directory(Path("folder.wav"));
  }

  std::string Path(std::string_view name) const { return folder_.File(name); }

  std::vector<std::string> Lumtass(const std::vector<std::string>& paths) const {
    std::vector<std::string> argv = {ProgramPath("lumtass")};
    argv.insert(argv.end(), paths.begin(), paths.end());
    return argv;
  }

  ScopedTempDir folder_, first_, second_;
};

TEST_F(ListerTest, PipedOutputIsThePlainText) {
  const std::string not_utf8 = "\xFF\xFE-raw.wav";
  WriteBytes(Path(not_utf8), PcmWave(8000, 12345));
  WriteBytes(Path("tab\there.wav"), PcmWave(8000, 16000));
  WriteBytes(Path("in\\empty.wav"), PcmWave(8000, 0));  // the backslash ends a folder
  // Ogg fixtures: 4001 frames at 8000 Hz and 22051 at 44100 Hz; the WAVE one holds 8002
  // bytes at 16000 bytes per second.
  const struct {
    std::vector<std::string> paths;
    std::string output;
  } cases[] = {
      {{}, kUsage + kClosing},
      {{Path("b.wav"), Path("gone.ogg"), TestDataFile("wave_data_named.ogg"), Path("A.wav"),
        first_.File("x.wav"), TestDataFile("ogg_data_named.wav"), Path("folder.wav"),
        TestDataFile("vorbis_stereo_44k.ogg"), second_.File("x.wav"), Path(not_utf8),
        TestDataFile("make_fixtures.sh"), Path("tab\there.wav"), Path("in\\empty.wav")},
       kHeader + "A.wav  -  2.00\nb.wav  -  1.54\nempty.wav  -  0.00\nfolder.wav  -  n/a\n"
                 "gone.ogg  -  n/a\nmake_fixtures.sh  -  n/a\nogg_data_named.wav  -  0.50\n"
                 "tab\there.wav  -  2.00\nvorbis_stereo_44k.ogg  -  0.50\n"
                 "wave_data_named.ogg  -  0.50\nx.wav  -  2.00\n" + not_utf8 + "  -  1.54\n" +
           kClosing},
  };
  for (const auto& c : cases) {
    const RunResult run = RunProgram(Lumtass(c.paths));
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.error_output, "");
  }
}

// Standard output decides the escapes; standard input decides whether the pause waits for a
// key, and it takes one byte only.
TEST_F(ListerTest, TerminalShowsColoursAndThePauseWaitsOnlyForATerminal) {
  WriteBytes(Path("esc\x1b[2J.wav"), PcmWave(8000, 12345));
  const std::string lines = "A.wav  -  2.00\nesc\x1b[2J.wav  -  1.54\ngone.ogg  -  n/a\n";
  const std::string plain = kHeader + lines + kClosing;
  // On a terminal the escape inside the name is shown as U+FFFD; the key is not echoed.
  const std::string coloured =
      kTerminalStart + kHeaderColours + OnTerminal(kHeader) + kMeasuredColours +
      OnTerminal("A.wav  -  2.00\n") + kMeasuredColours +
      OnTerminal("esc\xEF\xBF\xBD[2J.wav  -  1.54\n") + "\x1b[38;2;200;40;10;48;2;25;25;25m" +
      OnTerminal("gone.ogg  -  n/a\n") + kHeaderColours + OnTerminal(kClosing) + kReset;
  const struct {
    const char* what;
    bool terminal;
    std::string shell_command;  // runs lumtass as "$0" with the paths "$@"
    bool waits;
    std::string output;
  } cases[] = {
      {"both on a terminal", true, "exec \"$0\" \"$@\"", true, coloured},
      {"output piped, input a terminal", true, "\"$0\" \"$@\" | cat", true, OnTerminal(plain)},
      {"both piped", false, "\"$0\" \"$@\"; cat", false, plain + "rest"},
  };
  for (const auto& c : cases) {
    RunOptions options;
    options.terminal = c.terminal;
    options.prompt = c.terminal ? kPrompt : "";
    options.reply = "k";
    options.input = c.terminal ? "" : "krest";
    options.timeout_seconds = 30;
    const RunResult run = RunProgram({"/bin/sh", "-c", c.shell_command, ProgramPath("lumtass"),
                                      Path("gone.ogg"), Path("A.wav"), Path("esc\x1b[2J.wav")},
                                     options);
    EXPECT_EQ(run.exit_code, 0) << c.what;
    EXPECT_EQ(run.waited_at_prompt, c.waits) << c.what;
    EXPECT_EQ(run.output, c.output) << c.what;
  }
}

// The terminal's own settings come back after the key, and after an interrupt during the wait.
TEST_F(ListerTest, PauseRestoresTheTerminal) {
  const struct {
    const char* what;
    std::string reply;
    int exit_code;
  } cases[] = {{"key pressed", "x", 0}, {"interrupted by Ctrl+C", "\x03", 3}};
  for (const auto& c : cases) {
    RunOptions options;
    options.terminal = true;
    options.prompt = kPrompt;
    options.reply = c.reply;
    // The shell, in the same foreground group, also gets the interrupt and reports it.
    const RunResult run = RunProgram(
        {"/bin/sh", "-c", "trap 'stty -a; exit 3' INT; \"$0\"; stty -a", ProgramPath("lumtass")},
        options);
    EXPECT_TRUE(run.waited_at_prompt) << c.what;
    EXPECT_EQ(run.exit_code, c.exit_code) << c.what;
    const std::size_t prompt = run.output.find(kPrompt);
    const std::string rest = run.output.substr(std::min(prompt, run.output.size()));
    EXPECT_NE(rest.find(kReset), std::string::npos) << c.what;
    EXPECT_NE(rest.find(" icanon"), std::string::npos) << c.what << "\n" << rest;
    EXPECT_EQ(rest.find("-echo "), std::string::npos) << c.what;
  }
}

}  // namespace
