// Runs the built programs on files a user could drop that are hostile to them: malformed Ogg
// headers that crash or exhaust the decoder, and things that are not files at all. Every run
// must end normally, list every argument and exit 0.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/support/process_posix.h"
#include "tests/support/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define HOSTILE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTILE_UNDER_ASAN 1
#endif
#endif

namespace {

namespace fs = std::filesystem;

const std::string kHeader =
    "-------------------------\n[Filename]  -  [Duration]\n-------------------------\n";
const std::string kClosing = "\nPress any key to continue . . . \n";

const std::vector<std::string> kHostileFiles = {
    "codebook-size-int-overflow.ogg",   "codebooks-16x16M-entries.ogg",
    "codebooks-4x16M-entries.ogg",      "comment-list-null.ogg",
    "comment-list-overflow.ogg",        "setup-failure-frees-uninitialised.ogg",
    "vendor-length-2GiB.ogg",
};

// Runs `argv` in a child whose address space is capped at 256 MiB (setrlimit(RLIMIT_AS)
// through the shell's ulimit).
RunResult RunWithMemoryCap(const std::vector<std::string>& argv) {
  std::vector<std::string> shell = {"/bin/sh", "-c", "ulimit -v 262144 && exec \"$@\"", "sh"};
  shell.insert(shell.end(), argv.begin(), argv.end());
  return RunProgram(shell);
}

bool UnderAddressSanitizer() {
#ifdef HOSTILE_UNDER_ASAN
  return true;
#else
  return false;
#endif
}

// A PCM WAVE file declaring `data_size` bytes at `bytes_per_second`, with `present` of them.
std::string Wave(std::uint32_t riff_size, std::uint32_t data_size,
                 std::uint32_t bytes_per_second, std::uint32_t present) {
  std::string out = "RIFF";
  AppendU32(out, riff_size);
  out += "WAVEfmt ";
  AppendU32(out, 16);
  AppendU16(out, 1);
  AppendU16(out, 2);
  AppendU32(out, bytes_per_second / 4);
  AppendU32(out, bytes_per_second);
  AppendU16(out, 4);
  AppendU16(out, 16);
  out += "data";
  AppendU32(out, data_size);
  return out + std::string(present, '\0');
}

class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string& name : kHostileFiles) {
      const std::string from = std::string(HOSTILE_DATA_DIR) + "/" + name;
      ASSERT_TRUE(FileExists(from)) << from;
      arguments_.push_back(from);
      expected_ += name + "  -  n/a\n";
    }
    // A good file among them, in key order after the hostile ones, must still be measured.
    fs::copy_file(TestDataFile("vorbis_stereo_44k.ogg"), dir_.File("zz-good.ogg"));
    arguments_.push_back(dir_.File("zz-good.ogg"));
    expected_ += "zz-good.ogg  -  0.50\n";
  }

  std::vector<std::string> Lumtass() const {
    std::vector<std::string> argv = {ProgramPath("lumtass")};
    argv.insert(argv.end(), arguments_.begin(), arguments_.end());
    return argv;
  }

  ScopedTempDir dir_;
  std::vector<std::string> arguments_;
  std::string expected_;
};

TEST_F(HostileInputTest, EveryHostileOggIsNotMeasuredInOneRun) {
  const RunResult run = RunProgram(Lumtass());
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ(kHeader + expected_ + kClosing, run.output);
}

TEST_F(HostileInputTest, EveryHostileOggIsNotMeasuredWithin256MiB) {
  if (UnderAddressSanitizer()) {
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space up front, so no "
                    "RLIMIT_AS cap can apply to this build";
  }
  const RunResult run = RunWithMemoryCap(Lumtass());
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ(kHeader + expected_ + kClosing, run.output);
}

TEST(NonAudioInputTest, ThingsThatAreNotAudioFilesAreNotMeasured) {
  ScopedTempDir dir;
  // A FIFO with no writer: opening it for reading must not wait for one.
  ASSERT_EQ(0, ::mkfifo(dir.File("fifo.ogg").c_str(), 0600));
  fs::create_directory(dir.File("folder.wav"));
  WriteBytes(dir.File("empty.ogg"), "");
  // Declares 4 000 000 036 and 4 000 000 000 bytes, and holds them as a sparse file: the
  // reader must neither read nor allocate them.
  const std::string big = dir.File("sparse.wav");
  WriteBytes(big, Wave(4000000036u, 4000000000u, 4000000, 0));
  fs::resize_file(big, 4000000044u);
  // A path of 4 000 characters through nested folders (each name within NAME_MAX).
  std::string deep = dir.path();
  while (deep.size() < 4000 - 210) deep += "/" + std::string(200, 'd');
  fs::create_directories(deep);
  std::string long_name = std::string(4000 - deep.size() - 5, 'n') + ".wav";
  const std::string long_path = deep + "/" + long_name;
  ASSERT_EQ(4000u, long_path.size());
  WriteBytes(long_path, Wave(36 + 8000, 8000, 16000, 8000));

  const std::vector<std::string> argv = {ProgramPath("lumtass"), dir.File("fifo.ogg"),
                                         dir.File("folder.wav"),  "/dev/zero",
                                         dir.File("empty.ogg"),   big,
                                         long_path};
  const std::string expected = kHeader +
                               "empty.ogg  -  n/a\nfifo.ogg  -  n/a\nfolder.wav  -  n/a\n" +
                               long_name + "  -  0.50\nsparse.wav  -  1000.00\nzero  -  n/a\n" +
                               kClosing;
  const RunResult run =
      UnderAddressSanitizer() ? RunProgram(argv) : RunWithMemoryCap(argv);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ(expected, run.output);
}

TEST(NonAudioInputTest, FiveThousandArgumentsInOneRun) {
  ScopedTempDir dir;
  WriteBytes(dir.File("one.wav"), Wave(36 + 4000, 4000, 16000, 4000));
  std::vector<std::string> argv = {ProgramPath("lumtass")};
  std::string expected = kHeader;
  std::set<std::string> names;
  for (int i = 0; i < 5000; ++i) {
    // Half measurable (links to one file), half missing.
    const std::string name = "t" + std::to_string(10000 + i) + (i % 2 == 0 ? ".wav" : ".ogg");
    if (i % 2 == 0) fs::create_hard_link(dir.File("one.wav"), dir.File(name));
    argv.push_back(dir.File(name));
    names.insert(name);
  }
  for (const std::string& name : names) {
    expected += name + (name.back() == 'v' ? "  -  0.25\n" : "  -  n/a\n");
  }
  RunOptions options;
  options.timeout_seconds = 300;
  const RunResult run = RunProgram(argv, options);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(0, run.exit_code);
  EXPECT_EQ(expected + kClosing, run.output);
}

TEST(ConcurrentGeneratorTest, TwentyRunsInOneFolderWriteTwentyCompleteFiles) {
  ScopedTempDir dir;
  fs::create_directory(dir.File("bin"));
  fs::create_directory(dir.File("solo"));
  fs::copy_file(ProgramPath("brevane"), dir.File("bin/brevane"));
  fs::copy_file(ProgramPath("brevane"), dir.File("solo/brevane"));
  // The editor each run starts is a stand-in that does nothing.
  fs::create_directory(dir.File("tools"));
  WriteBytes(dir.File("tools/xdg-open"), "#!/bin/sh\nexit 0\n");
  fs::permissions(dir.File("tools/xdg-open"), fs::perms::owner_all);
  fs::copy_file(TestDataFile("vorbis_stereo_44k.ogg"), dir.File("intro.ogg"));
  WriteBytes(dir.File("outro.wav"), Wave(36 + 16000, 16000, 16000, 16000));

  RunOptions options;
  options.environment = {"PATH=" + dir.File("tools") + ":/usr/bin:/bin"};
  options.timeout_seconds = 120;
  const RunResult solo = RunProgram(
      {dir.File("solo/brevane"), dir.File("intro.ogg"), dir.File("outro.wav")}, options);
  ASSERT_EQ(0, solo.exit_code);
  const std::string reference = ReadBytes(dir.File("solo/config.cpp"));
  ASSERT_FALSE(reference.empty());

  // Twenty started at once, all writing into bin/.
  const RunResult all = RunProgram(
      {"/bin/sh", "-c",
       "i=0; while [ $i -lt 20 ]; do \"$0\" \"$1\" \"$2\" >/dev/null </dev/null & "
       "i=$((i + 1)); done; wait",
       dir.File("bin/brevane"), dir.File("intro.ogg"), dir.File("outro.wav")},
      options);
  EXPECT_FALSE(all.timed_out);
  std::set<std::string> written;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir.File("bin"))) {
    const std::string name = entry.path().filename().string();
    if (name == "brevane") continue;
    written.insert(name);
    EXPECT_EQ(reference, ReadBytes(entry.path().string())) << name;
  }
  std::set<std::string> expected = {"config.cpp"};
  for (int i = 1; i < 20; ++i) expected.insert("config(" + std::to_string(i) + ").cpp");
  EXPECT_EQ(expected, written);
}

}  // namespace
