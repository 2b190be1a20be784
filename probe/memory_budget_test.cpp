#include "probe/memory_budget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Jobs on eight threads, each needing a size from the table: most fit the first grant, some
// need a large share of the limit, some more than the limit. Every job must finish (a file
// that waits for more while holding a grant can wait for ever), the memory in use must stay
// within the limit, and a job above the limit must run alone.
TEST(MemoryBudgetTest, JobsLargeAndSmallKeepTheLimitAndAllFinish) {
  constexpr std::uint64_t kLimit = 100;
  const std::uint64_t sizes[] = {4, 10, 7, 45, 60, 9, 95, 150, 3, 70};
  constexpr int kThreads = 8, kJobsPerThread = 60;
  MemoryBudget budget(kLimit, 10);
  std::mutex mutex;
  std::uint64_t in_use = 0;
  int running = 0, finished = 0;
  std::vector<std::string> faults;
  const auto job = [&](std::uint64_t size) {
    RunWithinBudget(budget, [&](MemoryBudget::Grant& grant) -> std::uint64_t {
      if (!grant.GrowTo(size)) return size;
      {
        const std::lock_guard<std::mutex> lock(mutex);
        in_use += size;
        ++running;
        if (in_use > kLimit && running > 1) faults.push_back(std::to_string(in_use) + " in use");
      }
      std::this_thread::yield();  // let others overlap
      const std::lock_guard<std::mutex> lock(mutex);
      in_use -= size;
      --running;
      ++finished;
      return 0;
    });
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int j = 0; j < kJobsPerThread; ++j) job(sizes[(t * 7 + j) % std::size(sizes)]);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(kThreads * kJobsPerThread, finished);
  EXPECT_EQ(0u, budget.held());
  EXPECT_TRUE(faults.empty()) << faults.size() << " times, first " << faults.front();
  EXPECT_EQ(150u, budget.peak());  // the job above the limit, alone
}

// The bytes held are the sum of the grants, whatever they grow to or however they move, and
// all of them come back: a leak would starve later files, a double return would let them
// overrun the limit.
TEST(MemoryBudgetTest, GrantsAddUpAndComeBackInFull) {
  EXPECT_EQ(5u, MemoryBudget(5, 10).first_grant());  // never more than the limit
  MemoryBudget budget(100, 10);
  MemoryBudget::Grant b = budget.Acquire(30);
  {
    MemoryBudget::Grant a = budget.Acquire(10);
    EXPECT_EQ(40u, budget.held());
    EXPECT_TRUE(a.GrowTo(60));
    EXPECT_TRUE(a.GrowTo(50));  // already held
    EXPECT_EQ(60u, a.bytes());
    EXPECT_FALSE(b.GrowTo(41));  // 101 held
    EXPECT_EQ(30u, b.bytes());
    EXPECT_TRUE(b.GrowTo(40));  // the limit exactly
    EXPECT_EQ(100u, budget.peak());
    {
      MemoryBudget::Grant moved = std::move(a);
      EXPECT_EQ(0u, a.bytes());
      EXPECT_FALSE(b.GrowTo(41));  // the moved grant still holds its 60
    }
    EXPECT_TRUE(b.GrowTo(100));  // alone now
  }  // the moved-from grant gives back nothing
  ASSERT_TRUE(b.GrowTo(150));    // alone, beyond the limit
  EXPECT_EQ(150u, budget.peak());
  {
    MemoryBudget::Grant gone = std::move(b);
  }
  ASSERT_EQ(0u, budget.held());
  MemoryBudget::Grant c = budget.Acquire(1);  // nothing held: no wait
  EXPECT_TRUE(c.GrowTo(100));
  MemoryBudget::Grant d = budget.Acquire(0);
  EXPECT_FALSE(d.GrowTo(1));
  // However little another holds, a grant beside it stays within the limit.
  MemoryBudget small(100, 1);
  MemoryBudget::Grant one = small.Acquire(1);
  MemoryBudget::Grant rest = small.Acquire(1);
  EXPECT_FALSE(rest.GrowTo(100));
  EXPECT_TRUE(rest.GrowTo(99));
}

}  // namespace
