#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/control_groups_posix.h"
#include "platform/memory_limits.h"
#include "tests/support/test_support.h"

// Control-group trees as the kernel mounts them, written into a folder: each row a process's
// /proc/self/cgroup, the files of the tree (path = content) and the room they leave it.
TEST(ControlGroupRoomTest, LeastRoomOfTheGroupAndThoseAboveIt) {
  constexpr std::uint64_t kNone = kNoMemoryLimit;
  const struct {
    const char* name;
    const char* groups;
    std::vector<std::pair<std::string, std::string>> files;
    std::uint64_t room;
  } rows[] = {
      {"v2, the group's own limit", "0::/a/b\n",
       {{"cgroup.controllers", "memory"}, {"a/b/memory.max", "1000\n"},
        {"a/b/memory.current", "300\n"}, {"a/memory.max", "max\n"}, {"a/memory.current", "900"}},
       700},
      {"v2, a smaller room above", "0::/a/b\n",
       {{"cgroup.controllers", ""}, {"a/b/memory.max", "max\n"}, {"a/b/memory.current", "5\n"},
        {"a/memory.max", "100\n"}, {"a/memory.current", "60\n"}},
       40},
      {"v2, usage past the limit", "0::/a\n",
       {{"cgroup.controllers", ""}, {"a/memory.max", "100\n"}, {"a/memory.current", "160\n"}},
       0},
      {"hybrid: v2 in unified/ without memory, v1 memory",
       "4:memory:/x\n1:cpu,cpuacct:/\n0::/x\n",
       {{"unified/cgroup.controllers", ""}, {"unified/x/cgroup.procs", ""},
        {"memory/x/memory.limit_in_bytes", "200\n"}, {"memory/x/memory.usage_in_bytes", "50\n"},
        {"memory/memory.limit_in_bytes", "9223372036854771712\n"},
        {"memory/memory.usage_in_bytes", "7000\n"}},
       150},
      {"v1, the parent smaller", "7:memory:/p/c\n",
       {{"memory/p/memory.limit_in_bytes", "100"}, {"memory/p/memory.usage_in_bytes", "90"},
        {"memory/p/c/memory.limit_in_bytes", "1000"}, {"memory/p/c/memory.usage_in_bytes", "1"}},
       10},
      {"v1 root of a namespace", "7:memory:/\n",
       {{"memory/memory.limit_in_bytes", "4096"}, {"memory/memory.usage_in_bytes", "1024"}},
       3072},
      {"the group's folder elsewhere", "0::/gone\n4:memory:/gone\n",
       {{"cgroup.controllers", ""}, {"memory.max", "10"}, {"memory.current", "1"},
        {"memory/memory.limit_in_bytes", "10"}, {"memory/memory.usage_in_bytes", "1"}},
       kNone},
      {"no memory controller", "3:cpuset:/a\n", {{"memory/a/memory.limit_in_bytes", "10"}},
       kNone},
  };
  for (const auto& row : rows) {
    const ScopedTempDir root;
    for (const auto& [path, content] : row.files) {
      std::filesystem::create_directories(std::filesystem::path(root.File(path)).parent_path());
      WriteBytes(root.File(path), content);
    }
    EXPECT_EQ(row.room, ControlGroupRoom(row.groups, root.path())) << row.name;
  }
}
