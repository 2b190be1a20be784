// Runs a copy of the built brevane in a temporary folder and compares what it printed and wrote.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/expected_config_text.h"
#include "tests/support/process_posix.h"
#include "tests/support/wave_bytes.h"

namespace fs = std::filesystem;

namespace {

constexpr char kClosing[] = "\nPress any key to continue . . . \n";
constexpr char kFailure[] = "Could not write to file!\n";
// 22051 frames at 44100 Hz, and 5668 bytes at 1000 bytes per second.
const std::string kTable =
    "-------------------------\n[Filename]  -  [Duration]\n-------------------------\n"
    "intro.ogg  -  0.50\nnotes.txt  -  n/a\noutro.wav  -  5.67\noutro.wav  -  5.67\n"
    // The warning the two outro classes give, which follows the table.
    "\n[Warning] The game's config tools reject these names; rename before packing:\n"
    "outro.wav  -  class name also used by another track\n"
    "outro.wav  -  class name also used by another track\n";

// A copy of brevane, a stand-in xdg-open that records its arguments, and tracks to measure:
// the same name from two folders among them.
class GeneratorE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(ProgramPath("brevane"), Program());
    for (const char* folder : {"tools", "Music", "Other"}) fs::create_directory(dir_.File(folder));
    const std::string record = dir_.File("editor-args");
    // Written under another name first, so a test never reads a half-written record.
    WriteBytes(dir_.File("tools/xdg-open"), "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record +
                                                ".part'\nmv '" + record + ".part' '" + record +
                                                "'\n");
    fs::permissions(dir_.File("tools/xdg-open"), fs::perms::owner_all);
    WriteBytes(dir_.File("Music/outro.wav"), PcmWave(1000, 5668));
    WriteBytes(dir_.File("Other/outro.wav"), PcmWave(1000, 5668));
    fs::copy_file(TestDataFile("vorbis_stereo_44k.ogg"), dir_.File("Music/intro.ogg"));
    WriteBytes(dir_.File("Music/notes.txt"), "not audio");
  }

  std::string Program() const { return dir_.File("brevane"); }

  std::vector<std::string> WithTracks(const std::string& program) const {
    std::vector<std::string> argv = {program};
    for (const char* track : {"Other/outro.wav", "Music/notes.txt", "Music/outro.wav",
                              "Music/intro.ogg"}) {
      argv.push_back(dir_.File(track));
    }
    return argv;
  }

  RunResult Run(const std::vector<std::string>& argv, RunOptions options = {}) {
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

  // The launch is detached, so the record may come after the program ended: wait for it.
  std::string EditorArguments() const {
    for (int i = 0; i < 600 && !FileExists(dir_.File("editor-args")); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ReadBytes(dir_.File("editor-args"));
  }

  // Absence cannot be awaited: give a wrongly started editor a moment to show itself.
  bool EditorStarted() const {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return FileExists(dir_.File("editor-args")) || FileExists(dir_.File("editor-args.part"));
  }

  // Two blocks with one class name; TRACK_PATH from the first entry in path order.
  std::string ExpectedFile() const {
    const std::string outro = ExpectedBlock("outro", "outro.wav", "5.67");
    return Utf16Le(ExpectedHead(dir_.File("Music")) + ExpectedBlock("intro", "intro.ogg", "0.50") +
                   outro + outro + kExpectedEnd);
  }

  ScopedTempDir dir_;
};

TEST_F(GeneratorE2eTest, WritesBesideItselfSkipsTakenNamesAndOpensTheFile) {
  RunOptions no_editor;
  no_editor.environment = {"PATH=" + dir_.File("Other")};
  EXPECT_EQ(Run(WithTracks(Program()), no_editor).output, kTable + kClosing);
  EXPECT_EQ(ReadBytes(dir_.File("config.cpp")), ExpectedFile());
  // A dangling link: following it would create the file it points at.
  fs::create_symlink(dir_.File("victim"), dir_.File("config(1).cpp"));
  EXPECT_EQ(Run(WithTracks(Program())).output, kTable + kClosing);
  EXPECT_FALSE(FileExists(dir_.File("victim")));
  EXPECT_EQ(ReadBytes(dir_.File("config(2).cpp")), ExpectedFile());
  EXPECT_EQ(EditorArguments(), dir_.File("config(2).cpp") + "\n");
}

TEST_F(GeneratorE2eTest, NoFileNoEditorWithoutArgumentsOrWhenAllNamesAreTaken) {
  EXPECT_EQ(Run({Program()}).output,
            "[Usage] Drag and drop .wav and/or .ogg files onto this .exe\n" + std::string(kClosing));
  EXPECT_FALSE(FileExists(dir_.File("config.cpp")));

  WriteBytes(dir_.File("config.cpp"), "taken");
  for (int i = 1; i < 100; ++i) WriteBytes(dir_.File("config(" + std::to_string(i) + ").cpp"), "");
  const auto before = std::distance(fs::directory_iterator(dir_.path()), {});
  EXPECT_EQ(Run(WithTracks(Program())).output, kTable + kFailure + kClosing);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), {}), before);
  EXPECT_FALSE(EditorStarted());
}

TEST_F(GeneratorE2eTest, StartedByNameWritesIntoTheWorkingFolder) {
  fs::create_directory(dir_.File("bin"));
  fs::rename(Program(), dir_.File("bin/brevane"));
  RunOptions options;
  options.search_path = true;
  options.working_dir = dir_.File("Other");
  options.environment = {"PATH=" + dir_.File("bin") + ":" + ToolsPath()};
  EXPECT_EQ(Run(WithTracks("brevane"), options).output, kTable + kClosing);
  EXPECT_EQ(ReadBytes(dir_.File("Other/config.cpp")), ExpectedFile());
  EXPECT_EQ(EditorArguments(), "config.cpp\n");  // the path as built
}

TEST_F(GeneratorE2eTest, FullDiskRemovesTheIncompleteFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small full tmpfs";
  const std::string disk = dir_.File("disk");
  fs::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=8k") != 0) {
    GTEST_SKIP() << "mounting a tmpfs is not permitted here";
  }
  // Started through a link inside the full file system, the program writes there.
  fs::create_symlink(Program(), disk + "/brevane");
  WriteBytes(disk + "/filler", std::string(64 * 1024, 'x'));
  struct statvfs space;
  // Full, yet names can still be created: what fails is the writing, not the creation.
  WriteBytes(disk + "/empty", "");
  const bool full = ::statvfs(disk.c_str(), &space) == 0 && space.f_bavail == 0 &&
                    fs::remove(disk + "/empty");
  const RunResult result = Run(WithTracks(disk + "/brevane"));
  const bool left = FileExists(disk + "/config.cpp") || FileExists(disk + "/config(1).cpp");
  (void)::umount2(disk.c_str(), MNT_DETACH);  // a leftover mount is harmless
  ASSERT_TRUE(full);
  EXPECT_EQ(result.output, kTable + kFailure + kClosing);
  EXPECT_FALSE(left);
  EXPECT_FALSE(EditorStarted());
}

}  // namespace
