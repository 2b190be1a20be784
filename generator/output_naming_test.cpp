#include "generator/output_naming.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/utf.h"
#include "tests/support/fake_output_file.h"
#include "tests/support/test_support.h"

namespace {

std::u16string Prefix(const ScopedTempDir& dir) { return Utf8ToUtf16(dir.path() + "/"); }

TEST(OutputNamingTest, FirstFreeNameIsCreatedAndNothingIsReplaced) {
  ScopedTempDir dir;
  WriteBytes(dir.File("config.cpp"), "zero");
  WriteBytes(dir.File("config(1).cpp"), "one");
  CreatedOutput output = CreateOutputFile(Prefix(dir));
  ASSERT_NE(output.file, nullptr);
  EXPECT_EQ(output.path, Prefix(dir) + u"config(2).cpp");
  EXPECT_EQ(ReadBytes(dir.File("config.cpp")), "zero");
  EXPECT_EQ(ReadBytes(dir.File("config(1).cpp")), "one");
  EXPECT_EQ(OutputFileName(99), u"config(99).cpp");

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
    EXPECT_EQ(FileExists(dir.File("config.cpp")), c.outcome == OutputOutcome::kWritten);
  }
  CreatedOutput none;
  EXPECT_EQ(FinishOutputFile(none, true), OutputOutcome::kNotCreated);
}

}  // namespace
