#pragma once

#include <cstdint>
#include <limits>

inline constexpr std::uint64_t kNoMemoryLimit = std::numeric_limits<std::uint64_t>::max();

// The bytes of memory the limits this process lives under leave it now: the least of what each
// leaves, kNoMemoryLimit when none applies.
// - Linux: each memory control group the process is in, and every group above it (cgroup v2
//   memory.max less memory.current, v1 memory.limit_in_bytes less memory.usage_in_bytes);
//   RLIMIT_AS less the address space in use; RLIMIT_DATA less the data in use.
// - Windows: the job the process runs in, if any: its per-process memory limit less what the
//   process has committed, its job memory limit less the most the job has used.
std::uint64_t MemoryRoom();
