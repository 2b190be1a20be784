#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

// The memory that files measured at the same time may hold together: the Ogg route's decoder
// area and the bytes it keeps for the decoder (probe/decoder_input.h). A file starts with a
// small grant that covers nearly every real file, grows it while there is room, and otherwise
// gives everything back and waits for what it needs. A holder never waits for more while it
// holds a grant, so no two files wait for each other; a file alone may always take what it
// needs, beyond the limit too. Safe to use from several threads.
class MemoryBudget {
 public:
  class Grant;

  // Files together hold at most `limit` bytes, unless one alone holds more; each starts with
  // `first_grant` bytes (at most `limit`).
  MemoryBudget(std::uint64_t limit, std::uint64_t first_grant);
  MemoryBudget(const MemoryBudget&) = delete;
  MemoryBudget& operator=(const MemoryBudget&) = delete;

  // Waits, in the order callers came, until `bytes` fit beside what is held, or nothing is
  // held, and grants them. The caller must hold no grant from this budget meanwhile.
  Grant Acquire(std::uint64_t bytes);

  std::uint64_t limit() const { return limit_; }
  std::uint64_t first_grant() const { return first_grant_; }
  // The bytes held now, by all grants together.
  std::uint64_t held() const;
  // The most bytes held at once so far: at most the limit, unless one grant alone held more.
  std::uint64_t peak() const;

 private:
  bool Grow(std::uint64_t held_by_grant, std::uint64_t total);
  void Release(std::uint64_t bytes);

  const std::uint64_t limit_;
  const std::uint64_t first_grant_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t held_ = 0;
  std::uint64_t peak_ = 0;
  std::uint64_t next_ticket_ = 0;  // the next caller's place in the queue
  std::uint64_t serving_ = 0;      // the place whose turn it is
};

// Bytes held from a budget until the grant goes.
class MemoryBudget::Grant {
 public:
  Grant(Grant&& other) noexcept : budget_(other.budget_), bytes_(other.bytes_) {
    other.bytes_ = 0;
  }
  Grant& operator=(Grant&&) = delete;
  ~Grant() { budget_.Release(bytes_); }

  std::uint64_t bytes() const { return bytes_; }

  // Raises the grant to `total` bytes when they fit beside the others' now (or no one else
  // holds any), without waiting. True when the grant then holds at least `total`.
  bool GrowTo(std::uint64_t total);

 private:
  friend class MemoryBudget;
  Grant(MemoryBudget& budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {}

  MemoryBudget& budget_;
  std::uint64_t bytes_;
};

// The budget of the programs' files: 128 MiB, whatever the number of processors, 8 MiB to
// start with. A real file's decoder takes 0.1 to 2 MiB, and the bytes kept for it are its
// headers (cover art included) and 64 KiB from its end; a file with 63 MiB of cover art
// needs about 130 MiB and runs alone. Under a memory limit (a container's, an address-space
// limit) it is what the limit leaves, less kReservedBytes for the rest of the program: its
// threads' stacks and buffers, the heap, the console.
inline constexpr std::uint64_t kDecoderBudgetBytes = std::uint64_t{128} << 20;
inline constexpr std::uint64_t kDecoderFirstGrantBytes = std::uint64_t{8} << 20;
inline constexpr std::uint64_t kReservedBytes = std::uint64_t{32} << 20;
// The budget's limit when the process's limits leave it `room` bytes (MemoryRoom).
std::uint64_t DecoderBudgetLimit(std::uint64_t room);
// The programs' budget, its limit read from the process's limits on the first call. Under a
// limit, threads then share one heap (ShareOneHeap).
MemoryBudget& DecoderMemoryBudget();

// Runs `attempt` with a grant from `budget`, first of budget.first_grant() bytes, until it is
// done. `attempt` returns 0 when done; otherwise the bytes it needs in all, when its grant
// could not grow to them, after freeing what it used. It then runs again once a grant of at
// least that many bytes (and twice the last grant) is free, holding nothing while it waits.
// Once the grant exceeds the limit the attempt runs alone and every GrowTo succeeds.
void RunWithinBudget(MemoryBudget& budget,
                     const std::function<std::uint64_t(MemoryBudget::Grant&)>& attempt);
