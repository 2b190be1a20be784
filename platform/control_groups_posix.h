#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// POSIX only: what memory control groups leave a process (see MemoryRoom), from `groups`, the
// text of its /proc/self/cgroup, with the hierarchies mounted under `mount_root`
// (/sys/fs/cgroup: v2 there or in unified/, v1's memory controller in memory/). Groups whose
// folders are not there (another mount namespace) limit nothing; kNoMemoryLimit when none does.
std::uint64_t ControlGroupRoom(std::string_view groups, const std::string& mount_root);
