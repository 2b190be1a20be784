// Runs the built lumtass as a user or a script would and compares everything it prints.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process_posix.h"
#include "tests/support/test_support.h"

namespace {

const std::string kUsage = "[Usage] Drag and drop .wav and/or .ogg files onto this .exe\n";
const std::string kHeader =
    "-------------------------\n[Filename]  -  [Duration]\n-------------------------\n";
const std::string kPrompt = "Press any key to continue . . . ";
// The closing newline, the prompt, and the newline written once the wait is over.
const std::string kClosing = "\n" + kPrompt + "\n";

// Attribute escapes as the palette gives them: foreground RGB, then background RGB (index 0).
const std::string kStartupColours = "\x1b[38;2;255;255;255;48;2;25;25;25m";
const std::string kHeaderColours = "\x1b[38;2;89;102;117;48;2;25;25;25m";
const std::string kMeasuredColours = "\x1b[38;2;182;174;118;48;2;25;25;25m";
const std::string kNotMeasuredColours = "\x1b[38;2;200;40;10;48;2;25;25;25m";
const std::string kUsageColours = "\x1b[38;2;189;99;197;48;2;25;25;25m";
const std::string kTerminalStart = "\x1b]0;Orvend's Lumtass v1.0\x07\x1b[?25h" + kStartupColours;
const std::string kReset = "\x1b[0m";

// A PCM WAVE file with `data_bytes` bytes of silence: data_bytes * 1000 / (rate * block)
// whole milliseconds long.
std::string Wave(std::uint32_t rate, std::uint16_t block_align, std::uint32_t data_bytes) {
  std::string fmt;
  AppendU16(fmt, 1);  // PCM
  AppendU16(fmt, 1);  // channels
  AppendU32(fmt, rate);
  AppendU32(fmt, rate * block_align);
  AppendU16(fmt, block_align);
  AppendU16(fmt, static_cast<std::uint16_t>(8 * block_align));
  std::string body = "WAVEfmt ";
  AppendU32(body, static_cast<std::uint32_t>(fmt.size()));
  body += fmt + "data";
  AppendU32(body, data_bytes);
  body.append(data_bytes, '\0');
  if (data_bytes % 2 != 0) body.push_back('\0');
  std::string file = "RIFF";
  AppendU32(file, static_cast<std::uint32_t>(body.size()));
  return file + body;
}

// Replaces every "\n" with "\r\n", as a terminal's output processing does.
std::string OnTerminal(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::vector<std::string> Lumtass(const std::vector<std::string>& paths) {
  std::vector<std::string> argv = {ProgramPath("lumtass")};
  argv.insert(argv.end(), paths.begin(), paths.end());
  return argv;
}

class ListerTest : public ::testing::Test {
 protected:
  ListerTest() {
    // 12345 bytes at 8000 per second: 1543 ms. 16000 bytes at 8000: 2000 ms. 52000 bytes at
    // 16000 (8000 Hz, 2-byte frames): 3250 ms. No data: 0 ms.
    WriteBytes(Path("b.wav"), Wave(8000, 1, 12345));
    WriteBytes(Path("A.wav"), Wave(8000, 1, 16000));
    WriteBytes(first_.File("x.wav"), Wave(8000, 1, 16000));
    WriteBytes(second_.File("x.wav"), Wave(8000, 2, 52000));
    WriteBytes(Path("empty.wav"), Wave(8000, 1, 0));
    std::filesystem::create_directory(Path("folder.wav"));
  }

  std::string Path(std::string_view name) const { return folder_.File(name); }

  ScopedTempDir folder_, first_, second_;
};

TEST_F(ListerTest, NoArgumentsShowsUsageAndClosing) {
  const RunResult run = RunProgram(Lumtass({}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, kUsage + kClosing);
  EXPECT_EQ(run.error_output, "");
}

TEST_F(ListerTest, PrintsOneLinePerNameInKeyOrder) {
  struct Case {
    const char* what;
    std::vector<std::string> paths;
    std::string lines;
  };
  const Case cases[] = {
      {"key order, not drop order",
       {Path("b.wav"), Path("A.wav")},
       "A.wav  -  2.00\nb.wav  -  1.54\n"},
      {"a missing path is n/a", {Path("gone.ogg")}, "gone.ogg  -  n/a\n"},
      {"empty data is 0.00, not n/a", {Path("empty.wav")}, "empty.wav  -  0.00\n"},
      {"the same name from two folders: the later wins",
       {first_.File("x.wav"), Path("A.wav"), second_.File("x.wav")},
       "A.wav  -  2.00\nx.wav  -  3.25\n"},
      {"... whichever folder that is",
       {second_.File("x.wav"), first_.File("x.wav")},
       "x.wav  -  2.00\n"},
      // The fixtures hold 4001 frames at 8000 Hz (Ogg, 0.500125 s) and an 8002-byte data chunk
      // at 16000 bytes per second (WAVE, 500 ms).
      {"content decides, not the extension",
       {TestDataFile("wave_data_named.ogg"), TestDataFile("ogg_data_named.wav")},
       "ogg_data_named.wav  -  0.50\nwave_data_named.ogg  -  0.50\n"},
      // 22051 frames at 44100 Hz, 12007 at 48000 Hz.
      {"Ogg Vorbis files",
       {TestDataFile("vorbis_stereo_44k.ogg"), TestDataFile("vorbis_6ch_48k.ogg")},
       "vorbis_6ch_48k.ogg  -  0.25\nvorbis_stereo_44k.ogg  -  0.50\n"},
      {"not audio, and a folder",
       {TestDataFile("make_fixtures.sh"), Path("folder.wav")},
       "folder.wav  -  n/a\nmake_fixtures.sh  -  n/a\n"},
  };
  for (const Case& c : cases) {
    const RunResult run = RunProgram(Lumtass(c.paths));
    EXPECT_EQ(run.exit_code, 0) << c.what;
    EXPECT_EQ(run.output, kHeader + c.lines + kClosing) << c.what;
  }
}

TEST_F(ListerTest, NamesKeepTheirBytes) {
  // Not UTF-8, a control character, a backslash (a folder separator in argument text).
  const std::string not_utf8 = "\xFF\xFE-raw.wav";
  const std::string control = "tab\there.wav";
  WriteBytes(Path(not_utf8), Wave(8000, 1, 12345));
  WriteBytes(Path(control), Wave(8000, 1, 16000));
  WriteBytes(Path("in\\name.wav"), Wave(8000, 1, 0));
  const RunResult run =
      RunProgram(Lumtass({Path(not_utf8), Path(control), Path("in\\name.wav")}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, kHeader + "name.wav  -  0.00\ntab\there.wav  -  2.00\n" + not_utf8 +
                            "  -  1.54\n" + kClosing);
}

TEST_F(ListerTest, TerminalShowsColoursAndWaitsForAKey) {
  WriteBytes(Path("esc\x1b[2J.wav"), Wave(8000, 1, 12345));
  RunOptions options;
  options.terminal = true;
  options.prompt = kPrompt;
  options.reply = "x";
  const RunResult run =
      RunProgram(Lumtass({Path("gone.ogg"), Path("A.wav"), Path("esc\x1b[2J.wav")}), options);
  EXPECT_TRUE(run.waited_at_prompt);
  EXPECT_EQ(run.exit_code, 0);
  // The escape inside the name is shown as U+FFFD; the key pressed is not echoed.
  EXPECT_EQ(run.output,
            kTerminalStart + kHeaderColours + OnTerminal(kHeader) + kMeasuredColours +
                OnTerminal("A.wav  -  2.00\n") + kMeasuredColours +
                OnTerminal("esc\xEF\xBF\xBD[2J.wav  -  1.54\n") + kNotMeasuredColours +
                OnTerminal("gone.ogg  -  n/a\n") + kHeaderColours + OnTerminal(kClosing) +
                kReset);
}

TEST_F(ListerTest, TerminalUsage) {
  RunOptions options;
  options.terminal = true;
  options.prompt = kPrompt;
  options.reply = "\n";
  const RunResult run = RunProgram(Lumtass({}), options);
  EXPECT_TRUE(run.waited_at_prompt);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, kTerminalStart + kUsageColours + OnTerminal(kUsage) + kHeaderColours +
                            OnTerminal(kClosing) + kReset);
}

// Standard input decides whether the pause waits; standard output decides the escapes.
TEST_F(ListerTest, PauseWaitsOnlyForATerminalInput) {
  struct Case {
    const char* what;
    bool terminal;
    std::string shell_command;  // runs lumtass as "$0" with the listed path
    bool waits;
    std::string output;
  };
  const Case cases[] = {
      {"output on a terminal, input /dev/null", true, "exec \"$0\" \"$1\" </dev/null", false,
       kTerminalStart + kHeaderColours + OnTerminal(kHeader) + kMeasuredColours +
           OnTerminal("A.wav  -  2.00\n") + kHeaderColours + OnTerminal(kClosing) + kReset},
      {"output piped, input a terminal", true, "\"$0\" \"$1\" | cat", true,
       OnTerminal(kHeader + "A.wav  -  2.00\n" + kClosing)},
      {"both piped, input /dev/null", false, "exec \"$0\" \"$1\" </dev/null", false,
       kHeader + "A.wav  -  2.00\n" + kClosing},
      {"both piped, input has ended", false, "exec \"$0\" \"$1\"", false,
       kHeader + "A.wav  -  2.00\n" + kClosing},
  };
  for (const Case& c : cases) {
    RunOptions options;
    options.terminal = c.terminal;
    options.prompt = c.terminal ? kPrompt : "";
    options.reply = "k";
    options.timeout_seconds = 30;
    const RunResult run =
        RunProgram({"/bin/sh", "-c", c.shell_command, ProgramPath("lumtass"), Path("A.wav")},
                   options);
    EXPECT_FALSE(run.timed_out) << c.what;
    EXPECT_EQ(run.exit_code, 0) << c.what;
    if (c.terminal) {
      EXPECT_EQ(run.waited_at_prompt, c.waits) << c.what;
    }
    EXPECT_EQ(run.output, c.output) << c.what;
  }
}

TEST_F(ListerTest, PipedInputAnswersThePromptWithItsFirstByte) {
  RunOptions options;
  options.input = std::string(256 * 1024, 'k');  // more than a pipe holds: only one is read
  options.timeout_seconds = 30;
  const RunResult run = RunProgram(Lumtass({Path("A.wav")}), options);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, kHeader + "A.wav  -  2.00\n" + kClosing);
}

// The terminal's own settings come back after the key, and after an interrupt during the wait.
TEST_F(ListerTest, PauseRestoresTheTerminal) {
  struct Case {
    const char* what;
    std::string reply;
    int exit_code;
  };
  const Case cases[] = {
      {"key pressed", "x", 0},
      {"interrupted by Ctrl+C", "\x03", 3},
  };
  for (const Case& c : cases) {
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
    const std::size_t after_prompt = run.output.find(kPrompt);
    ASSERT_NE(after_prompt, std::string::npos) << c.what;
    const std::string rest = run.output.substr(after_prompt);
    EXPECT_NE(rest.find(kReset), std::string::npos) << c.what;
    EXPECT_NE(rest.find(" icanon"), std::string::npos) << c.what << "\n" << rest;
    EXPECT_EQ(rest.find("-icanon"), std::string::npos) << c.what;
    EXPECT_EQ(rest.find("-echo "), std::string::npos) << c.what;
  }
}

}  // namespace
