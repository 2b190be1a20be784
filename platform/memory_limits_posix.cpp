#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/control_groups_posix.h"
#include "platform/memory_limits.h"

namespace {

// Limits at or above this are the kernel's way of saying none (v1 writes 2^63 less a page).
constexpr std::uint64_t kUnlimitedFrom = std::uint64_t{1} << 62;

// The first word of the file at `path` as a number; false when it is missing or not one ("max").
bool ReadNumber(const std::string& path, std::uint64_t* value) {
  std::ifstream in(path);
  return static_cast<bool>(in >> *value);
}

// What `limit` leaves beside `used`, counted against `room`.
void Leave(std::uint64_t limit, std::uint64_t used, std::uint64_t* room) {
  if (limit < kUnlimitedFrom) *room = std::min(*room, limit > used ? limit - used : 0);
}

// The group at `folder` and those above it, up to `top`: each file names a limit and a usage.
void GroupsUpward(std::string folder, const std::string& top, const char* limit_file,
                  const char* usage_file, std::uint64_t* room) {
  std::uint64_t limit = 0, used = 0;
  for (;;) {
    if (ReadNumber(folder + "/" + limit_file, &limit) &&
        ReadNumber(folder + "/" + usage_file, &used)) {
      Leave(limit, used, room);
    }
    if (folder.size() <= top.size()) return;
    folder.erase(std::max(folder.rfind('/'), top.size()));
  }
}

bool IsFolder(const std::string& path) { return ::access((path + "/.").c_str(), F_OK) == 0; }

// Pages of the address space and of data in use, from /proc/self/statm.
bool PagesInUse(std::uint64_t* address_space, std::uint64_t* data) {
  std::ifstream in("/proc/self/statm");
  std::uint64_t resident = 0, shared = 0, text = 0, library = 0;
  return static_cast<bool>(in >> *address_space >> resident >> shared >> text >> library >> *data);
}

}  // namespace

std::uint64_t ControlGroupRoom(std::string_view groups, const std::string& mount_root) {
  std::uint64_t room = kNoMemoryLimit;
  std::istringstream lines{std::string(groups)};
  for (std::string line; std::getline(lines, line);) {
    // hierarchy-ID:controller-list:path
    const std::size_t first = line.find(':'), second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string id = line.substr(0, first);
    const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
    std::string path = line.substr(second + 1);
    if (path == "/") path.clear();
    if (id == "0" && controllers == ",,") {
      for (const std::string& top : {mount_root, mount_root + "/unified"}) {
        if (IsFolder(top + path) && IsFolder(top) &&
            std::ifstream(top + "/cgroup.controllers").good()) {
          GroupsUpward(top + path, top, "memory.max", "memory.current", &room);
          break;
        }
      }
    } else if (controllers.find(",memory,") != std::string::npos) {
      const std::string top = mount_root + "/memory";
      if (IsFolder(top + path)) {
        GroupsUpward(top + path, top, "memory.limit_in_bytes", "memory.usage_in_bytes", &room);
      }
    }
  }
  return room;
}

std::uint64_t MemoryRoom() {
  std::ifstream list("/proc/self/cgroup");
  std::uint64_t room = ControlGroupRoom(
      std::string(std::istreambuf_iterator<char>(list), {}), "/sys/fs/cgroup");
  std::uint64_t address_space = 0, data = 0;
  const std::uint64_t page = static_cast<std::uint64_t>(std::max(::sysconf(_SC_PAGESIZE), 1L));
  if (!PagesInUse(&address_space, &data)) address_space = data = 0;
  rlimit limit;
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    Leave(limit.rlim_cur, address_space * page, &room);
  }
  if (::getrlimit(RLIMIT_DATA, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    Leave(limit.rlim_cur, data * page, &room);
  }
  return room;
}
