#include "generator/output_naming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "generator/fake_output_file.h"
#include "platform/utf.h"
#include "tests/support/test_support.h"

namespace {

std::u16string Prefix(const ScopedTempDir& dir) { return Utf8ToUtf16(dir.path() + "/"); }

std::size_t EntryCount(const std::string& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

TEST(OutputNamingTest, SeriesOfNames) {
  const struct {
    int attempt;
    std::u16string name;
  } cases[] = {{0, u"config.cpp"}, {1, u"config(1).cpp"}, {10, u"config(10).cpp"},
               {99, u"config(99).cpp"}};
  for (const auto& c : cases) EXPECT_EQ(OutputFileName(c.attempt), c.name) << c.attempt;
}

TEST(OutputNamingTest, FirstFreeNameIsCreatedAndNothingIsReplaced) {
  ScopedTempDir dir;
  WriteBytes(dir.File("config.cpp"), "zero");
  WriteBytes(dir.File("config(1).cpp"), "one");
  CreatedOutput output = CreateOutputFile(Prefix(dir));
  ASSERT_NE(output.file, nullptr);
  EXPECT_EQ(output.path, Prefix(dir) + u"config(2).cpp");
  EXPECT_TRUE(FileExists(dir.File("config(2).cpp")));
  EXPECT_EQ(ReadBytes(dir.File("config.cpp")), "zero");
  EXPECT_EQ(ReadBytes(dir.File("config(1).cpp")), "one");
}

TEST(OutputNamingTest, NoFileWhenEveryNameIsTakenOrTheFolderIsMissing) {
  ScopedTempDir dir;
  for (int attempt = 0; attempt < kOutputNameAttempts; ++attempt) {
    WriteBytes(dir.File(Utf16ToUtf8(OutputFileName(attempt))), "taken");
  }
  CreatedOutput full = CreateOutputFile(Prefix(dir));
  EXPECT_EQ(full.file, nullptr);
  EXPECT_TRUE(full.path.empty());
  EXPECT_EQ(EntryCount(dir.path()), static_cast<std::size_t>(kOutputNameAttempts));

  CreatedOutput missing = CreateOutputFile(Prefix(dir) + u"no-such-folder/");
  EXPECT_EQ(missing.file, nullptr);
  EXPECT_TRUE(missing.path.empty());
}

TEST(OutputNamingTest, FinishingKeepsOnlyACompleteFile) {
  const struct {
    const char* what;
    bool writes_complete;
    bool close_succeeds;
    OutputOutcome outcome;
  } cases[] = {
      {"complete", true, true, OutputOutcome::kWritten},
      {"a write failed", false, true, OutputOutcome::kIncomplete},
      {"close failed", true, false, OutputOutcome::kIncomplete},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedTempDir dir;
    WriteBytes(dir.File("config.cpp"), "partial");
    CreatedOutput output{std::make_unique<FakeOutputFile>(1000, c.close_succeeds),
                         Prefix(dir) + u"config.cpp"};
    EXPECT_EQ(FinishOutputFile(output, c.writes_complete), c.outcome);
    EXPECT_EQ(output.file, nullptr);
    EXPECT_EQ(FileExists(dir.File("config.cpp")), c.outcome == OutputOutcome::kWritten);
  }
  CreatedOutput none;
  EXPECT_EQ(FinishOutputFile(none, true), OutputOutcome::kNotCreated);
}

TEST(OutputNamingTest, IncompleteRealFileIsRemoved) {
  ScopedTempDir dir;
  CreatedOutput output = CreateOutputFile(Prefix(dir));
  ASSERT_NE(output.file, nullptr);
  ASSERT_TRUE(output.file->Write("half", 4));
  EXPECT_EQ(FinishOutputFile(output, false), OutputOutcome::kIncomplete);
  EXPECT_FALSE(FileExists(dir.File("config.cpp")));
}

}  // namespace
