#include "generator/output_naming.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/utf.h"
#include "tests/support/fake_output_file.h"
#include "tests/support/test_support.h"

namespace {

std::u16string Prefix(const ScopedTempDir& dir) { return Utf8ToUtf16(dir.path() + "/"); }

// Creation against taken names runs end to end; the series itself ends at 99.
TEST(OutputNamingTest, Series) {
  const std::u16string names[] = {u"config.cpp", u"config(1).cpp", u"config(99).cpp"};
  const int attempts[] = {0, 1, kOutputNameAttempts - 1};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(OutputFileName(attempts[i]), names[i]);
  EXPECT_EQ(CreateOutputFile(u"no-such-folder/").file, nullptr);
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
