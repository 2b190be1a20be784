#include <pthread.h>
#include <sched.h>
#include <signal.h>

#include <functional>
#include <vector>

#include "platform/threads.h"

namespace {

// The probe keeps its large buffers on the heap; a small stack keeps each thread cheap under a
// tight address-space limit, where a thread that cannot start only means fewer threads.
constexpr std::size_t kStackBytes = std::size_t{1} << 20;

void* RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}

}  // namespace

unsigned UsableProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int count = CPU_COUNT(&set);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}

void RunOnThreads(unsigned count, const std::function<void()>& work) {
  std::vector<pthread_t> threads;
  if (count > 1) {
    // New threads inherit the mask: block everything but the faults a thread raises on itself.
    sigset_t blocked;
    sigset_t previous;
    sigfillset(&blocked);
    for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS}) {
      sigdelset(&blocked, fault);
    }
    (void)::pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    pthread_attr_t attributes;
    const bool sized = ::pthread_attr_init(&attributes) == 0;
    if (sized) (void)::pthread_attr_setstacksize(&attributes, kStackBytes);  // else the default
    for (unsigned i = 1; i < count; ++i) {
      pthread_t thread;
      const auto argument = const_cast<void*>(static_cast<const void*>(&work));
      if (::pthread_create(&thread, sized ? &attributes : nullptr, RunWork, argument) != 0) break;
      threads.push_back(thread);
    }
    if (sized) ::pthread_attr_destroy(&attributes);
    (void)::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }
  work();
  for (const pthread_t thread : threads) ::pthread_join(thread, nullptr);
}
