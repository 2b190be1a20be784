#include <windows.h>

// The process counters from kernel32 (Windows 7 on), not from psapi.dll.
#define PSAPI_VERSION 2
#include <psapi.h>

#include <algorithm>

#include "platform/memory_limits.h"

namespace {

std::uint64_t Left(std::uint64_t limit, std::uint64_t used) {
  return limit > used ? limit - used : 0;
}

}  // namespace

std::uint64_t MemoryRoom() {
  std::uint64_t room = kNoMemoryLimit;
  // The job the process runs in (a null handle asks for its own), when it limits memory.
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION job{};
  if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &job, sizeof job,
                                 nullptr)) {
    return room;
  }
  const DWORD flags = job.BasicLimitInformation.LimitFlags;
  if ((flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) != 0) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    const bool counted = GetProcessMemoryInfo(
        GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
        sizeof counters);
    room = std::min(room, Left(job.ProcessMemoryLimit, counted ? counters.PrivateUsage : 0));
  }
  // The job's present use is not told; its peak is at least that.
  if ((flags & JOB_OBJECT_LIMIT_JOB_MEMORY) != 0) {
    room = std::min(room, Left(job.JobMemoryLimit, job.PeakJobMemoryUsed));
  }
  return room;
}
