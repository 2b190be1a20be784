#include "probe/vorbis_length.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/utf.h"
#include "tests/support/test_support.h"

namespace {

std::string TestFile(const std::string& name) {
  return ReadBytes(std::string(PROBE_TEST_FILES) + "/" + name);
}

// Another program rewrites the file after the checks passed, before the decoder reads it: with
// headers that crash the decoder, with nothing, with another stream. The decoder must parse
// only what was checked: the file measures as it was checked, and the run goes on.
TEST(VorbisLengthTest, FileRewrittenAfterTheChecksMeasuresAsChecked) {
  const std::string checked = TestFile("data/vorbis_mono_8k.ogg");
  const std::string other = TestFile("data/vorbis_6ch_48k.ogg");
  const std::string crashing = TestFile("hostile/data/comment-list-null.ogg");
  ASSERT_FALSE(checked.empty() || other.empty() || crashing.empty());
  ScopedTempDir folder;
  const std::string name = folder.File("track.ogg");
  const std::u16string path = Utf8ToUtf16(name);
  WriteBytes(name, checked);
  const float expected = VorbisSeconds(path);
  ASSERT_GT(expected, 0.0f);
  const std::vector<std::pair<const char*, std::string>> rewrites = {
      {"headers that crash the decoder", crashing},
      {"emptied", ""},
      {"another stream", other},
      {"another stream appended", checked + other},
  };
  for (const auto& [what, bytes] : rewrites) {
    WriteBytes(name, checked);
    int decoder_opens = 0;
    // Windows keeps writers out while the file is open: the rewrite fails there.
    const float seconds =
        VorbisSeconds(path, decoder_opens, [&, &bytes = bytes] { WriteBytes(name, bytes); });
    EXPECT_EQ(expected, seconds) << what;
    EXPECT_EQ(1, decoder_opens) << what;
  }
}

}  // namespace
