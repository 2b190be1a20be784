#include "probe/memory_budget.h"

#include <algorithm>

#include "platform/memory_limits.h"
#include "probe/decoder_memory.h"

MemoryBudget::MemoryBudget(std::uint64_t limit, std::uint64_t first_grant)
    : limit_(limit), first_grant_(std::min(first_grant, limit)) {}

MemoryBudget::Grant MemoryBudget::Acquire(std::uint64_t bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  // In turn: a file waiting for a large grant is not overtaken for ever by small ones.
  const std::uint64_t ticket = next_ticket_++;
  changed_.wait(lock, [&] {
    return serving_ == ticket && (held_ == 0 || (bytes <= limit_ && held_ <= limit_ - bytes));
  });
  ++serving_;
  held_ += bytes;
  peak_ = std::max(peak_, held_);
  // The next in line may fit too.
  changed_.notify_all();
  return Grant(*this, bytes);
}

std::uint64_t MemoryBudget::held() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return held_;
}

std::uint64_t MemoryBudget::peak() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return peak_;
}

bool MemoryBudget::Grow(std::uint64_t held_by_grant, std::uint64_t total) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const std::uint64_t others = held_ - held_by_grant;
  if (others != 0 && (total > limit_ || others > limit_ - total)) return false;
  held_ = others + total;
  peak_ = std::max(peak_, held_);
  return true;
}

void MemoryBudget::Release(std::uint64_t bytes) {
  if (bytes == 0) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  held_ -= bytes;
  changed_.notify_all();
}

bool MemoryBudget::Grant::GrowTo(std::uint64_t total) {
  if (total <= bytes_) return true;
  if (!budget_.Grow(bytes_, total)) return false;
  bytes_ = total;
  return true;
}

std::uint64_t DecoderBudgetLimit(std::uint64_t room) {
  return room > kReservedBytes ? std::min(kDecoderBudgetBytes, room - kReservedBytes) : 0;
}

namespace {

std::uint64_t LimitFromTheProcessLimits() {
  const std::uint64_t room = MemoryRoom();
  if (room != kNoMemoryLimit) ShareOneHeap();
  return DecoderBudgetLimit(room);
}

}  // namespace

MemoryBudget& DecoderMemoryBudget() {
  static MemoryBudget budget(LimitFromTheProcessLimits(), kDecoderFirstGrantBytes);
  return budget;
}

void RunWithinBudget(MemoryBudget& budget,
                     const std::function<std::uint64_t(MemoryBudget::Grant&)>& attempt) {
  std::uint64_t ask = budget.first_grant();
  for (;;) {
    std::uint64_t need = 0;
    {
      MemoryBudget::Grant grant = budget.Acquire(ask);
      need = attempt(grant);
    }  // given back before waiting for more
    if (need == 0) return;
    // Doubling bounds the rounds even when a file that changes asks for a little more each time.
    ask = std::max(need, 2 * ask);
  }
}
