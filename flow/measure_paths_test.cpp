#include "flow/measure_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// Paths of one code unit each, 0, 1, ..., whose measure is their number, but negative on its
// first call for every third path and on every call for every seventh. With several threads,
// each even path's call ends only after the next path's has ended, so calls end out of order;
// every path must be read ahead once (before its call starts when one thread measures; with
// several, the thread that gives it may be overtaken, which a hint allows), and no more calls
// run at once than threads allowed. With several threads a negative result is measured once
// more, alone; with one, it stands.
TEST(MeasurePathsTest, ResultsInPathOrderWhateverOrderCallsEnd) {
  const struct {
    unsigned threads;
    std::size_t paths;
  } cases[] = {{1, 20}, {0, 3}, {4, 41}, {16, 5}, {3, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.threads << " threads");
    std::vector<std::u16string> paths;
    for (std::size_t i = 0; i < c.paths; ++i) paths.emplace_back(1, static_cast<char16_t>(i));
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> ended(c.paths, false);
    std::vector<int> read_ahead(c.paths, 0), calls(c.paths, 0), calls_not_alone(c.paths, 0);
    std::vector<bool> read_ahead_late(c.paths, false);
    int running = 0, most_running = 0;
    const auto measure = [&](const std::u16string& path) {
      const std::size_t index = path[0];
      std::unique_lock<std::mutex> lock(mutex);
      most_running = std::max(most_running, ++running);
      if (read_ahead[index] == 0) read_ahead_late[index] = true;
      // Bounded: a thread the system did not start leaves the next path to this one.
      if (c.threads > 1 && index % 2 == 0 && index + 1 < c.paths && calls[index] == 0 &&
          !changed.wait_for(lock, std::chrono::seconds(60), [&] { return ended[index + 1]; })) {
        ADD_FAILURE() << "path " << index << " waited 60 s for path " << index + 1;
      }
      if (running > 1) ++calls_not_alone[index];
      const bool fails = index % 7 == 6 || (index % 3 == 2 && calls[index] == 0);
      ++calls[index];
      ended[index] = true;
      --running;
      changed.notify_all();
      return fails ? -1.0f : static_cast<float>(index);
    };
    const auto ahead = [&](const std::u16string& path) {
      const std::lock_guard<std::mutex> lock(mutex);
      ++read_ahead[path[0]];
    };
    const std::vector<float> results = MeasureConcurrently(paths, c.threads, measure, ahead);
    ASSERT_EQ(c.paths, results.size());
    const bool several = c.threads > 1 && c.paths > 1;
    for (std::size_t i = 0; i < c.paths; ++i) {
      const bool fails_first = i % 7 == 6 || i % 3 == 2;
      const float expected = i % 7 == 6 || (!several && fails_first) ? -1.0f : float(i);
      EXPECT_EQ(expected, results[i]) << "path " << i;
      EXPECT_EQ(several && fails_first ? 2 : 1, calls[i]) << "path " << i;
      EXPECT_GE(1, calls_not_alone[i]) << "path " << i << " measured again beside another";
      EXPECT_EQ(1, read_ahead[i]) << "path " << i;
      EXPECT_FALSE(c.threads <= 1 && read_ahead_late[i]) << "path " << i;
    }
    const std::size_t allowed = std::min<std::size_t>(std::max(c.threads, 1u), c.paths);
    EXPECT_LE(static_cast<std::size_t>(most_running), allowed);
  }
}

// Files found in the cache ('c') or out of it ('o') when asked for: which are asked for ('a')
// and which are not ('.'). Every file until 16 in a row were in the cache, then every 16th,
// and every file again from the first found out of the cache.
TEST(MeasurePathsTest, ReadAheadSampledWhileFilesAreInTheCache) {
  const struct {
    const char* cache;
    const char* asked;
  } rows[] = {
      {"cccccccccccccccccccccccccccccccccccccccc",
       "aaaaaaaaaaaaaaaaa...............a......."},
      {"cccccccccccccccoccccccccccccccccccccc",
       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...."},
      {"ccccccccccccccccccccccccccccccccoccccccccccccccccccc",
       "aaaaaaaaaaaaaaaaa...............aaaaaaaaaaaaaaaaaa.."},
  };
  for (const auto& row : rows) {
    ReadAheadSampler sampler;
    std::string asked;
    for (const char* file = row.cache; *file != '\0'; ++file) {
      const bool wanted = sampler.Wanted();
      if (wanted) sampler.Found(*file == 'o');
      asked += wanted ? 'a' : '.';
    }
    EXPECT_EQ(row.asked, asked) << row.cache;
  }
}
