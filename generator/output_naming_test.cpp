#include "generator/output_naming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "platform/utf.h"
#include "tests/support/fake_output_file.h"
#include "tests/support/test_support.h"

namespace {

std::u16string Prefix(const ScopedTempDir& dir) { return Utf8ToUtf16(dir.path() + "/"); }

std::set<std::string> Names(const ScopedTempDir& dir) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(OutputNamingTest, NamedOnlyWhenCompleteWithTheFirstFreeNameReplacingNothing) {
  ScopedTempDir dir;
  WriteBytes(dir.File("config.cpp"), "zero");
  std::filesystem::create_directory(dir.File("config(1).cpp"));
  CreatedOutput output = CreateOutputFile(Prefix(dir));
  ASSERT_NE(output.file, nullptr);
  ASSERT_TRUE(output.file->Write("data", 4));
  // While it is written, the file bears no name of the series; meanwhile one more is taken.
  EXPECT_EQ(Names(dir).size(), 3u);
  EXPECT_EQ(Utf16ToUtf8(output.temporary_path).find("config"), std::string::npos);
  WriteBytes(dir.File("config(2).cpp"), "two");

  EXPECT_EQ(FinishOutputFile(output, true), OutputOutcome::kWritten);
  EXPECT_EQ(output.path, Prefix(dir) + u"config(3).cpp");
  EXPECT_EQ(ReadBytes(dir.File("config(3).cpp")), "data");
  EXPECT_EQ(ReadBytes(dir.File("config.cpp")) + ReadBytes(dir.File("config(2).cpp")), "zerotwo");
  EXPECT_EQ(Names(dir).size(), 4u);
  EXPECT_EQ(OutputFileName(99), u"config(99).cpp");
  const CreatedOutput none = CreateOutputFile(Prefix(dir) + u"no-such-folder/");
  EXPECT_EQ(none.file, nullptr);
  EXPECT_FALSE(none.failure.empty());  // the system's reason, for the user
}

TEST(OutputNamingTest, FailuresLeaveNoFileBehind) {
  const struct {
    bool writes_complete, close_succeeds, all_names_taken;
    OutputOutcome outcome;
  } cases[] = {
      {false, true, false, OutputOutcome::kIncomplete},  // a write failed
      {true, false, false, OutputOutcome::kIncomplete},  // flush or close failed
      {true, true, true, OutputOutcome::kNoFreeName},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    for (int i = 0; c.all_names_taken && i < kOutputNameAttempts; ++i) {
      WriteBytes(dir.File(Utf16ToUtf8(OutputFileName(i))), "");
    }
    const std::set<std::string> before = Names(dir);
    WriteBytes(dir.File(".partial.tmp"), "partial");
    CreatedOutput output{std::make_unique<FakeOutputFile>(1000, c.close_succeeds), Prefix(dir),
                         Prefix(dir) + u".partial.tmp", {}, {}};
    EXPECT_EQ(FinishOutputFile(output, c.writes_complete), c.outcome);
    EXPECT_EQ(Names(dir), before);
    EXPECT_TRUE(output.failure.empty());  // taken names are no system failure
  }
}

}  // namespace
