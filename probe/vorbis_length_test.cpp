#include "probe/vorbis_length.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/utf.h"
#include "probe/decoder_input.h"
#include "probe/decoder_mirror/ogg_header_check.h"
#include "probe/decoder_mirror/ogg_length_guard.h"
#include "tests/support/test_support.h"

namespace {

std::string TestPath(const std::string& name) { return std::string(PROBE_TEST_FILES) + "/" + name; }

// Another program rewrites the file after the checks passed, before the decoder reads it: with
// headers that crash the decoder, with nothing, with another stream. The decoder must parse
// only what was checked: the file measures as it was checked, and the run goes on.
TEST(VorbisLengthTest, FileRewrittenAfterTheChecksMeasuresAsChecked) {
  const std::string checked = ReadBytes(TestPath("data/vorbis_mono_8k.ogg"));
  const std::string other = ReadBytes(TestPath("data/vorbis_6ch_48k.ogg"));
  const std::string crashing = ReadBytes(TestPath("hostile/data/comment-list-null.ogg"));
  ASSERT_FALSE(checked.empty() || other.empty() || crashing.empty());
  ScopedTempDir folder;
  const std::string name = folder.File("track.ogg");
  const std::u16string path = Utf8ToUtf16(name);
  WriteBytes(name, checked);
  int first_opens = 0;
  const float expected = VorbisSeconds(path, &first_opens);
  ASSERT_GT(expected, 0.0f);
  const std::vector<std::pair<const char*, std::string>> rewrites = {
      {"headers that crash the decoder", crashing}, {"emptied", ""}, {"another stream", other},
      {"another stream appended", checked + other}};
  for (const auto& [what, bytes] : rewrites) {
    WriteBytes(name, checked);
    int decoder_opens = 0, rewrites_done = 0;
    // Windows keeps writers out while the file is open: the rewrite fails there.
    const float seconds = VorbisSeconds(path, &decoder_opens, [&, &bytes = bytes] {
      WriteBytes(name, bytes);
      ++rewrites_done;
    });
    EXPECT_EQ(expected, seconds) << what;
    EXPECT_EQ(1, decoder_opens) << what;
    EXPECT_EQ(1, rewrites_done) << what;
  }
}

// Files measured on eight threads at once, with room for a few at a time or for none but
// alone: each measures as with all the memory it wants, and where each fits the limit, they
// never hold more together. A file read again after waiting for memory still runs the hook
// after its checks once.
TEST(VorbisLengthTest, FilesMeasuredTogetherStayWithinTheBudget) {
  std::vector<std::u16string> paths;
  for (const char* name : {"mono_8k", "6ch_48k", "stereo_44k", "stereo_96k"}) {
    paths.push_back(Utf8ToUtf16(TestPath("data/vorbis_" + std::string(name) + ".ogg")));
  }
  std::vector<float> expected;
  MemoryBudget one_at_a_time(std::uint64_t{1} << 40, 0);
  std::uint64_t largest_need = 0;  // the most one file holds: its area and the bytes kept
  for (const std::u16string& path : paths) {
    int decoder_opens = 0;
    expected.push_back(VorbisSeconds(path, &decoder_opens, {}, one_at_a_time));
    const std::unique_ptr<FileByteSource> file = FileByteSource::Open(path);
    const std::unique_ptr<DecoderInput> input = DecoderInput::Open(*file);
    std::uint64_t area = 0;
    ASSERT_EQ(OggHeaderVerdict::kSafe, CheckOggVorbisHeaders(input->source(), &area));
    ASSERT_TRUE(CanFindOggLength(input->source(), input->size()));
    largest_need = std::max(largest_need, input->kept_bytes() + area);
  }
  const std::uint64_t largest = one_at_a_time.peak();
  EXPECT_EQ(largest_need, largest);
  for (const std::uint64_t limit : {largest * 5 / 2, largest / 2}) {
    MemoryBudget budget(limit, 4096);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (std::size_t t = 0; t < 8; ++t) {
      threads.emplace_back([&, t] {
        for (std::size_t i = 0; i < 4 * paths.size(); ++i) {
          const std::size_t file = (t + i) % paths.size();
          int decoder_opens = 0, hooks = 0;
          if (VorbisSeconds(paths[file], &decoder_opens, [&] { ++hooks; }, budget) !=
                  expected[file] ||
              hooks != 1) {
            ++wrong;
          }
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, wrong.load()) << limit;
    if (limit >= largest) {
      EXPECT_LE(budget.peak(), limit);
    }
  }
}

}  // namespace
