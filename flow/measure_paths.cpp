#include "flow/measure_paths.h"

#include <algorithm>
#include <atomic>

#include "platform/file_io.h"
#include "platform/threads.h"
#include "probe/duration_probe.h"

std::vector<float> MeasureConcurrently(
    const std::vector<std::u16string>& paths, unsigned threads,
    const std::function<float(const std::u16string&)>& measure,
    const std::function<void(const std::u16string&)>& read_ahead) {
  std::vector<float> results(paths.size(), -1.0f);
  for (std::size_t i = 0; i < std::min(kReadAheadPaths, paths.size()); ++i) read_ahead(paths[i]);
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (;;) {
      const std::size_t index = next.fetch_add(1, std::memory_order_relaxed);
      if (index >= paths.size()) return;
      if (index + kReadAheadPaths < paths.size()) read_ahead(paths[index + kReadAheadPaths]);
      // Each slot has one writer; joining the threads publishes them all.
      results[index] = measure(paths[index]);
    }
  };
  const std::size_t most = std::min<std::size_t>(std::max(threads, 1u), paths.size());
  RunOnThreads(static_cast<unsigned>(most), work);
  // A file may have failed for want of what the others held at the time (memory, descriptors):
  // measured again alone, it gets the line one thread would give it, whatever ran beside it.
  if (most > 1) {
    for (std::size_t i = 0; i < paths.size(); ++i) {
      if (results[i] < 0.0f) results[i] = measure(paths[i]);
    }
  }
  return results;
}

bool ReadAheadSampler::Wanted() {
  if (found_in_cache_.load(std::memory_order_relaxed) < kReadAheadPaths) return true;
  return offered_.fetch_add(1, std::memory_order_relaxed) % kReadAheadPaths == 0;
}

void ReadAheadSampler::Found(bool asked) {
  if (asked) {
    found_in_cache_.store(0, std::memory_order_relaxed);
    offered_.store(0, std::memory_order_relaxed);
  } else {
    found_in_cache_.fetch_add(1, std::memory_order_relaxed);
  }
}

unsigned MeasuringThreads(unsigned processors, std::uint64_t budget_limit,
                          std::uint64_t first_grant) {
  const std::uint64_t fit =
      first_grant == 0 ? 1 : std::max<std::uint64_t>(1, budget_limit / first_grant);
  return static_cast<unsigned>(std::min<std::uint64_t>({processors, kMaxMeasuringThreads, fit}));
}

std::vector<float> MeasurePaths(const std::vector<std::u16string>& paths) {
  // The limits are read before any thread runs.
  const MemoryBudget& budget = DecoderMemoryBudget();
  ReadAheadSampler sampler;
  return MeasureConcurrently(
      paths, MeasuringThreads(UsableProcessorCount(), budget.limit(), budget.first_grant()),
      [](const std::u16string& path) { return DurationProbe(path); },
      [&sampler](const std::u16string& path) {
        if (sampler.Wanted()) sampler.Found(ReadAheadFileEnds(path, kReadAheadBytes));
      });
}
