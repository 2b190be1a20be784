// Runs the built brevane from a temporary folder and compares what it printed and wrote.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "generator/expected_config_text.h"
#include "tests/support/process_posix.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

constexpr char kTableHead[] =
    "-------------------------\n[Filename]  -  [Duration]\n-------------------------\n";
// The closing newline, then the pause prompt, answered at once by the end of piped input.
constexpr char kClosing[] = "\nPress any key to continue . . . \n";
constexpr char kFailure[] = "Could not write to file!\n";

// 8-bit mono PCM at 1000 bytes per second: `data_size` bytes last data_size milliseconds.
std::string WaveBytes(std::uint32_t data_size) {
  std::string bytes = "RIFF";
  AppendU32(bytes, 4 + 24 + 8 + data_size + (data_size & 1));
  bytes += "WAVEfmt ";
  AppendU32(bytes, 16);
  AppendU16(bytes, 1);     // integer PCM
  AppendU16(bytes, 1);     // channels
  AppendU32(bytes, 1000);  // samples per second
  AppendU32(bytes, 1000);  // average bytes per second
  AppendU16(bytes, 1);     // block alignment
  AppendU16(bytes, 8);     // bits per sample
  bytes += "data";
  AppendU32(bytes, data_size);
  bytes.append(data_size + (data_size & 1), '\x80');
  return bytes;
}

std::string TwoDecimals(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", seconds);
  return text;
}

// A folder with a copy of brevane (so it writes there), a stand-in xdg-open that records its
// arguments, and audio to measure.
class GeneratorE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(ProgramPath("brevane"), Program());
    fs::create_directory(dir_.File("tools"));
    const std::string record = dir_.File("editor-args");
    // Written under another name first, so a test never reads a half-written record.
    WriteBytes(dir_.File("tools/xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record +
                                                ".part'\nmv '" + record + ".part' '" + record +
                                                "'\n");
    fs::permissions(dir_.File("tools/xdg-open"), fs::perms::owner_all);
    fs::create_directory(dir_.File("Music"));
    WriteBytes(dir_.File("Music/outro.wav"), WaveBytes(5668));
    fs::copy_file(TestDataFile("vorbis_stereo_44k.ogg"), dir_.File("Music/intro.ogg"));
    WriteBytes(dir_.File("Music/notes.txt"), "not audio");
  }

  std::string Program() const { return dir_.File("brevane"); }

  RunResult Run(std::vector<std::string> argv, RunOptions options = {}) {
    if (options.environment.empty()) options.environment = {"PATH=" + ToolsPath()};
    RunResult result = RunProgram(argv, options);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.error_output, "");
    return result;
  }

  std::string ToolsPath() const {
    const char* path = std::getenv("PATH");
    return dir_.File("tools") + ":" + (path != nullptr ? path : "/usr/bin:/bin");
  }

  // The stand-in's arguments, one per line. The launch is detached, so the record may come
  // after the program ended: wait for it, with a bound far beyond any normal start.
  std::string EditorArguments() const {
    const std::string record = dir_.File("editor-args");
    for (int i = 0; i < 600 && !FileExists(record); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ReadBytes(record);
  }

  // Absence cannot be awaited: give a wrongly started editor a moment to show itself.
  bool EditorStarted() const {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return FileExists(dir_.File("editor-args")) || FileExists(dir_.File("editor-args.part"));
  }

  std::string ExpectedFileText() const {
    return ExpectedHead(dir_.File("Music")) +
           ExpectedBlock("intro", "intro.ogg", TwoDecimals(22051.0 / 44100)) +
           ExpectedBlock("outro", "outro.wav", TwoDecimals(5.668)) + kExpectedEnd;
  }

  std::string ExpectedTable() const {
    return std::string(kTableHead) + "intro.ogg  -  " + TwoDecimals(22051.0 / 44100) +
           "\nnotes.txt  -  n/a\noutro.wav  -  " + TwoDecimals(5.668) + "\n";
  }

  std::vector<std::string> Tracks() const {
    return {dir_.File("Music/outro.wav"), dir_.File("Music/notes.txt"),
            dir_.File("Music/intro.ogg")};
  }

  std::vector<std::string> WithProgram(const std::string& program) const {
    std::vector<std::string> argv = {program};
    for (const std::string& track : Tracks()) argv.push_back(track);
    return argv;
  }

  ScopedTempDir dir_;
};

TEST_F(GeneratorE2eTest, PrintsTableWritesConfigBesideItselfAndOpensIt) {
  const RunResult result = Run(WithProgram(Program()));
  EXPECT_EQ(result.output, ExpectedTable() + kClosing);
  EXPECT_EQ(ReadBytes(dir_.File("config.cpp")), Utf16Le(ExpectedFileText()));
  EXPECT_EQ(EditorArguments(), dir_.File("config.cpp") + "\n");
}

TEST_F(GeneratorE2eTest, SameNameFromTwoFoldersGivesTwoEntries) {
  fs::create_directory(dir_.File("Other"));
  fs::copy_file(dir_.File("Music/outro.wav"), dir_.File("Other/outro.wav"));
  const RunResult result =
      Run({Program(), dir_.File("Other/outro.wav"), dir_.File("Music/outro.wav")});
  const std::string line = "outro.wav  -  " + TwoDecimals(5.668) + "\n";
  EXPECT_EQ(result.output, kTableHead + line + line + kClosing);
  // Two blocks with one class name; TRACK_PATH from the first entry in path order.
  const std::string block = ExpectedBlock("outro", "outro.wav", TwoDecimals(5.668));
  EXPECT_EQ(ReadBytes(dir_.File("config.cpp")),
            Utf16Le(ExpectedHead(dir_.File("Music")) + block + block + kExpectedEnd));
}

TEST_F(GeneratorE2eTest, TakenNamesAndPlantedLinksAreSkipped) {
  WriteBytes(dir_.File("config.cpp"), "mine");
  // A dangling link: following it would create the file it points at.
  fs::create_symlink(dir_.File("victim"), dir_.File("config(1).cpp"));
  Run(WithProgram(Program()));
  EXPECT_EQ(ReadBytes(dir_.File("config.cpp")), "mine");
  EXPECT_TRUE(fs::is_symlink(dir_.File("config(1).cpp")));
  EXPECT_FALSE(FileExists(dir_.File("victim")));
  EXPECT_EQ(ReadBytes(dir_.File("config(2).cpp")), Utf16Le(ExpectedFileText()));
  EXPECT_EQ(EditorArguments(), dir_.File("config(2).cpp") + "\n");
}

TEST_F(GeneratorE2eTest, AllNamesTakenReportsFailureAndCreatesNothing) {
  WriteBytes(dir_.File("config.cpp"), "taken");
  for (int i = 1; i < 100; ++i)
    WriteBytes(dir_.File("config(" + std::to_string(i) + ").cpp"), "taken");
  const auto before = std::distance(fs::directory_iterator(dir_.path()), {});
  const RunResult result = Run(WithProgram(Program()));
  EXPECT_EQ(result.output, ExpectedTable() + kFailure + kClosing);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), before);
  EXPECT_FALSE(EditorStarted());
}

TEST_F(GeneratorE2eTest, NoArgumentsShowsUsageOnly) {
  const RunResult result = Run({Program()});
  EXPECT_EQ(
      result.output,
      std::string("[Usage] Drag and drop .wav and/or .ogg files onto this .exe\n") + kClosing);
  EXPECT_FALSE(FileExists(dir_.File("config.cpp")));
  EXPECT_FALSE(EditorStarted());
}

TEST_F(GeneratorE2eTest, StartedByNameWritesIntoTheWorkingFolder) {
  fs::create_directory(dir_.File("bin"));
  fs::create_directory(dir_.File("work"));
  fs::rename(Program(), dir_.File("bin/brevane"));
  RunOptions options;
  options.search_path = true;
  options.working_dir = dir_.File("work");
  options.environment = {"PATH=" + dir_.File("bin") + ":" + ToolsPath()};
  const RunResult result = Run(WithProgram("brevane"), options);
  EXPECT_EQ(result.output, ExpectedTable() + kClosing);
  EXPECT_EQ(ReadBytes(dir_.File("work/config.cpp")), Utf16Le(ExpectedFileText()));
  EXPECT_FALSE(FileExists(dir_.File("bin/config.cpp")));
  // The path as built, relative to the folder the editor is started in.
  EXPECT_EQ(EditorArguments(), "config.cpp\n");
}

TEST_F(GeneratorE2eTest, MissingEditorShowsNothing) {
  fs::create_directory(dir_.File("empty"));
  RunOptions options;
  options.environment = {"PATH=" + dir_.File("empty")};
  const RunResult result = Run(WithProgram(Program()), options);
  EXPECT_EQ(result.output, ExpectedTable() + kClosing);
  EXPECT_EQ(ReadBytes(dir_.File("config.cpp")), Utf16Le(ExpectedFileText()));
}

// Unmounts the small file system when the test ends, before its folder is removed.
class ScopedMount {
 public:
  explicit ScopedMount(std::string path) : path_(std::move(path)) {
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=8k") == 0;
    error_ = errno;
  }
  ~ScopedMount() {
    if (mounted_) (void)::umount2(path_.c_str(), MNT_DETACH);  // a leftover mount is harmless
  }
  bool mounted() const { return mounted_; }
  int error() const { return error_; }

 private:
  std::string path_;
  bool mounted_;
  int error_;
};

TEST_F(GeneratorE2eTest, FullDiskRemovesTheIncompleteFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small full tmpfs";
  const std::string disk = dir_.File("disk");
  fs::create_directory(disk);
  ScopedMount mount(disk);
  if (!mount.mounted()) {
    GTEST_SKIP() << "mounting a tmpfs is not permitted here: " << std::strerror(mount.error());
  }
  // Started through a link inside the full file system, the program writes there.
  fs::create_symlink(Program(), disk + "/brevane");
  WriteBytes(disk + "/filler", std::string(64 * 1024, 'x'));
  struct statvfs space;
  ASSERT_EQ(::statvfs(disk.c_str(), &space), 0);
  ASSERT_EQ(space.f_bavail, 0u);
  // Names can still be created there, so what fails is the writing, not the creation.
  WriteBytes(disk + "/empty", "");
  ASSERT_TRUE(FileExists(disk + "/empty"));
  fs::remove(disk + "/empty");

  const RunResult result = Run(WithProgram(disk + "/brevane"));
  EXPECT_EQ(result.output, ExpectedTable() + kFailure + kClosing);
  EXPECT_FALSE(FileExists(disk + "/config.cpp"));
  EXPECT_FALSE(FileExists(disk + "/config(1).cpp"));
  EXPECT_FALSE(EditorStarted());
}

}  // namespace
