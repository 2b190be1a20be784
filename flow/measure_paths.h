#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "probe/memory_budget.h"

// Files whose ends are asked to be read into the cache ahead of their turn (see
// ReadAheadFileEnds), and how many bytes at each end: the WAVE headers and the Ogg headers of
// nearly every file, and the window the Ogg length is searched in.
inline constexpr std::size_t kReadAheadPaths = 16;
inline constexpr std::uint64_t kReadAheadBytes = std::uint64_t{64} << 10;

// Threads that measure at most: as many files as the decoder's memory budget holds at their
// first grant (16), so that ordinary files never wait for each other's memory. Beyond that a
// set of files is bound by the disk rather than by processors.
inline constexpr unsigned kMaxMeasuringThreads =
    static_cast<unsigned>(kDecoderBudgetBytes / kDecoderFirstGrantBytes);

// Calls `measure` once for every path, on up to `threads` threads (at least one, never more
// than there are paths), each taking the next path no thread has taken yet. Returns the results
// in the order of `paths`, whatever order the calls end in. When a path is taken, the path
// `kReadAheadPaths` after it is given to `read_ahead`; the first `kReadAheadPaths` are given
// before any is taken. Both functions are called from several threads at once. With more than
// one thread, a path whose result is negative is measured once more, alone, after all others:
// its result is the second one.
std::vector<float> MeasureConcurrently(
    const std::vector<std::u16string>& paths, unsigned threads,
    const std::function<float(const std::u16string&)>& measure,
    const std::function<void(const std::u16string&)>& read_ahead);

// Threads for `processors` processors under a memory budget of `budget_limit` bytes whose
// grants start at `first_grant`: one per processor, at most kMaxMeasuringThreads, and no more
// than first grants fit in the budget, at least one.
unsigned MeasuringThreads(unsigned processors, std::uint64_t budget_limit,
                          std::uint64_t first_grant);

// Which of the files given to MeasureConcurrently's `read_ahead` are read ahead: asking for a
// file costs a few system calls, wasted on a file whose ends are in the cache already, as
// every file of a folder measured again has them. Every file is asked for until
// kReadAheadPaths files in a row were found in the cache; then one file in kReadAheadPaths
// is, to notice when they stop being, and the first found out of the cache turns asking for
// every file back on. Safe to use from several threads, where which files are asked for
// depends on timing: nothing but the time a run takes depends on it.
class ReadAheadSampler {
 public:
  // Whether to ask for the next file; if so, Found must follow with the answer.
  bool Wanted();
  // `asked`: whether the file was out of the cache, so that reads were asked for.
  void Found(bool asked);

 private:
  std::atomic<std::size_t> found_in_cache_{0};  // files in a row, up to now
  std::atomic<std::size_t> offered_{0};         // files offered while sampling
};

// DurationProbe of every path, in the order of `paths`, measured on the processors this process
// may use (MeasuringThreads, with the programs' budget), with the ends of the files ahead read
// into the cache.
std::vector<float> MeasurePaths(const std::vector<std::u16string>& paths);
