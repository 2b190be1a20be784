#include "flow/measure_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Paths "0", "1", ... whose measure is their number. With several threads, each even path's
// call ends only after the next path's has ended, so calls end out of order; every path must be
// read ahead once (before its call starts when one thread measures; with several, the thread
// that gives it may be overtaken, which a hint allows), and no more calls run at once than
// threads allowed.
TEST(MeasurePathsTest, ResultsInPathOrderWhateverOrderCallsEnd) {
  const struct {
    unsigned threads;
    std::size_t paths;
  } cases[] = {{1, 20}, {0, 3}, {4, 41}, {16, 5}, {3, 0}};
  for (const auto& c : cases) {
    std::vector<std::u16string> paths;
    for (std::size_t i = 0; i < c.paths; ++i) {
      const std::string digits = std::to_string(i);
      paths.emplace_back(digits.begin(), digits.end());
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> ended(c.paths, false);
    std::vector<int> read_ahead(c.paths, 0);
    std::vector<bool> read_ahead_late(c.paths, false);
    int running = 0;
    int most_running = 0;
    const auto index_of = [](const std::u16string& path) {
      return static_cast<std::size_t>(std::stoul(std::string(path.begin(), path.end())));
    };
    const auto measure = [&](const std::u16string& path) {
      const std::size_t index = index_of(path);
      std::unique_lock<std::mutex> lock(mutex);
      most_running = std::max(most_running, ++running);
      if (read_ahead[index] == 0) read_ahead_late[index] = true;
      if (c.threads > 1 && index % 2 == 0 && index + 1 < c.paths) {
        changed.wait(lock, [&] { return ended[index + 1]; });
      }
      ended[index] = true;
      --running;
      changed.notify_all();
      return static_cast<float>(index);
    };
    const auto ahead = [&](const std::u16string& path) {
      const std::lock_guard<std::mutex> lock(mutex);
      ++read_ahead[index_of(path)];
    };
    const std::vector<float> results = MeasureConcurrently(paths, c.threads, measure, ahead);
    const std::string where = std::to_string(c.threads) + " threads";
    ASSERT_EQ(c.paths, results.size()) << where;
    for (std::size_t i = 0; i < c.paths; ++i) {
      EXPECT_EQ(static_cast<float>(i), results[i]) << where << ", path " << i;
      EXPECT_EQ(1, read_ahead[i]) << where << ", path " << i;
      if (c.threads <= 1) {
        EXPECT_FALSE(read_ahead_late[i]) << where << ", path " << i;
      }
    }
    const std::size_t allowed = std::min<std::size_t>(std::max(c.threads, 1u), c.paths);
    EXPECT_LE(static_cast<std::size_t>(most_running), allowed) << where;
  }
}

}  // namespace
