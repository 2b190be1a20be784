#include <windows.h>

#include <process.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/threads.h"

namespace {

// Reserved, not committed: the probe keeps its large buffers on the heap.
constexpr unsigned kStackBytes = 1u << 20;

unsigned __stdcall RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}

}  // namespace

unsigned UsableProcessorCount() {
  DWORD_PTR process_mask = 0;
  DWORD_PTR system_mask = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process_mask, &system_mask)) return 1;
  unsigned count = 0;
  for (; process_mask != 0; process_mask &= process_mask - 1) ++count;
  return count > 0 ? count : 1;
}

void RunOnThreads(unsigned count, const std::function<void()>& work) {
  std::vector<HANDLE> threads;
  for (unsigned i = 1; i < count; ++i) {
    // _beginthreadex rather than CreateThread: the runtime library sets itself up per thread.
    const auto argument = const_cast<void*>(static_cast<const void*>(&work));
    const std::uintptr_t thread = _beginthreadex(nullptr, kStackBytes, RunWork, argument,
                                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == 0) break;
    threads.push_back(reinterpret_cast<HANDLE>(thread));
  }
  work();
  for (const HANDLE thread : threads) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
}
