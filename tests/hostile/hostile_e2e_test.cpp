// Runs the built programs on what a user could drop that is hostile to them: malformed Ogg
// headers that crash or exhaust the decoder, things that are not files at all, a huge sparse
// file, a very long path and thousands of arguments. Every run must end normally, list every
// argument and exit 0.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/process_posix.h"
#include "tests/support/test_support.h"
#include "tests/support/wave_bytes.h"

#if defined(__SANITIZE_ADDRESS__)
#define HOSTILE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTILE_UNDER_ASAN 1
#endif
#endif

namespace {

namespace fs = std::filesystem;

// Every kind of input in one run of one process, each with the duration it must show.
class HostileInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const fs::directory_entry& entry : fs::directory_iterator(HOSTILE_DATA_DIR)) {
      Add(entry.path().string(), "n/a");
    }
    ASSERT_GE(arguments_.size(), 7u) << "hostile inputs missing from " << HOSTILE_DATA_DIR;
    // A good file among them, listed after them, must still be measured.
    fs::copy_file(TestDataFile("vorbis_stereo_44k.ogg"), dir_.File("zz-good.ogg"));
    Add(dir_.File("zz-good.ogg"), "0.50");
    // A FIFO with no writer: opening it for reading must not wait for one.
    ASSERT_EQ(0, ::mkfifo(dir_.File("fifo.ogg").c_str(), 0600));
    Add(dir_.File("fifo.ogg"), "n/a");
    fs::create_directory(dir_.File("folder.wav"));
    Add(dir_.File("folder.wav"), "n/a");
    WriteBytes(dir_.File("empty.ogg"), "");
    Add(dir_.File("empty.ogg"), "n/a");
    Add("/dev/zero", "n/a");
    // Declares 4 000 000 000 bytes of data at 4 000 000 bytes a second and holds them as a
    // sparse file: the reader must neither read nor allocate them.
    const std::string sparse = dir_.File("sparse.wav");
    WriteBytes(sparse, RiffSized(4000000036u, Chunk("fmt ", FormatBody(1, 2, 1000000, 16)) +
                                                  ChunkHeader("data", 4000000000u)));
    fs::resize_file(sparse, 4000000044u);
    Add(sparse, "1000.00");
    // A path of 4 000 characters through nested folders (each name within NAME_MAX).
    std::string deep = dir_.path();
    while (deep.size() < 4000 - 210) deep += "/" + std::string(200, 'd');
    fs::create_directories(deep);
    const std::string long_path = deep + "/" + std::string(4000 - deep.size() - 5, 'n') + ".wav";
    ASSERT_EQ(4000u, long_path.size());
    WriteBytes(long_path, PcmWave(8000, 4000));
    Add(long_path, "0.50");
    // Up to 5 000 arguments: links to one measurable file, and as many missing files.
    WriteBytes(dir_.File("one.wav"), PcmWave(8000, 2000));
    for (int i = 0; arguments_.size() < 5000; ++i) {
      const std::string name = "t" + std::to_string(10000 + i) + (i % 2 == 0 ? ".wav" : ".ogg");
      if (i % 2 == 0) fs::create_hard_link(dir_.File("one.wav"), dir_.File(name));
      Add(dir_.File(name), i % 2 == 0 ? "0.25" : "n/a");
    }
  }

  void Add(const std::string& path, const std::string& duration) {
    arguments_.push_back(path);
    lines_[fs::path(path).filename().string()] = duration;
  }

  void ExpectAllListed(const std::vector<std::string>& prefix) const {
    std::vector<std::string> argv = prefix;
    argv.push_back(ProgramPath("lumtass"));
    argv.insert(argv.end(), arguments_.begin(), arguments_.end());
    RunOptions options;
    options.timeout_seconds = 300;
    const RunResult run = RunProgram(argv, options);
    std::string expected =
        "-------------------------\n[Filename]  -  [Duration]\n-------------------------\n";
    for (const auto& [name, duration] : lines_) expected += name + "  -  " + duration + "\n";
    expected += "\nPress any key to continue . . . \n";
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(0, run.exit_code);
    // Only the first difference: the whole listing would bury it.
    const auto [want, got] = std::mismatch(expected.begin(), expected.end(), run.output.begin(),
                                           run.output.end());
    EXPECT_TRUE(want == expected.end() && got == run.output.end())
        << "listing differs from [" << expected.substr(want - expected.begin(), 60)
        << "]: got [" << run.output.substr(got - run.output.begin(), 60) << "]";
  }

  ScopedTempDir dir_;
  std::vector<std::string> arguments_;
  std::map<std::string, std::string> lines_;  // file name -> duration, in listing order
};

TEST_F(HostileInputTest, EveryInputIsListedInOneRun) { ExpectAllListed({}); }

TEST_F(HostileInputTest, EveryInputIsListedWithin256MiB) {
#ifdef HOSTILE_UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space up front, so no "
                  "RLIMIT_AS cap can apply to this build";
#endif
  // setrlimit(RLIMIT_AS) in the child, through the shell's ulimit.
  ExpectAllListed({"/bin/sh", "-c", "ulimit -v 262144 && exec \"$@\"", "sh"});
}

TEST(ConcurrentGeneratorTest, TwentyRunsInOneFolderWriteTwentyCompleteFiles) {
  ScopedTempDir dir;
  for (const char* folder : {"bin", "solo", "tools"}) fs::create_directory(dir.File(folder));
  fs::copy_file(ProgramPath("brevane"), dir.File("bin/brevane"));
  fs::copy_file(ProgramPath("brevane"), dir.File("solo/brevane"));
  // The editor each run starts is a stand-in that does nothing.
  WriteBytes(dir.File("tools/xdg-open"), "#!/bin/sh\nexit 0\n");
  fs::permissions(dir.File("tools/xdg-open"), fs::perms::owner_all);
  fs::copy_file(TestDataFile("vorbis_stereo_44k.ogg"), dir.File("intro.ogg"));
  WriteBytes(dir.File("outro.wav"), PcmWave(8000, 8000));
  RunOptions options;
  options.environment = {"PATH=" + dir.File("tools") + ":/usr/bin:/bin"};
  options.timeout_seconds = 120;
  const std::vector<std::string> inputs = {dir.File("intro.ogg"), dir.File("outro.wav")};
  ASSERT_EQ(0, RunProgram({dir.File("solo/brevane"), inputs[0], inputs[1]}, options).exit_code);
  const std::string reference = ReadBytes(dir.File("solo/config.cpp"));
  ASSERT_FALSE(reference.empty());

  // Twenty started at once, all writing into bin/.
  const RunResult all = RunProgram(
      {"/bin/sh", "-c",
       "for i in $(seq 20); do \"$0\" \"$1\" \"$2\" >/dev/null </dev/null & done; wait",
       dir.File("bin/brevane"), inputs[0], inputs[1]},
      options);
  EXPECT_FALSE(all.timed_out);
  std::set<std::string> written, expected = {"brevane", "config.cpp"};
  for (int i = 1; i < 20; ++i) expected.insert("config(" + std::to_string(i) + ").cpp");
  for (const fs::directory_entry& entry : fs::directory_iterator(dir.File("bin"))) {
    const std::string name = entry.path().filename().string();
    written.insert(name);
    if (name != "brevane") {
      EXPECT_EQ(reference, ReadBytes(entry.path().string())) << name;
    }
  }
  EXPECT_EQ(expected, written);
}

}  // namespace
