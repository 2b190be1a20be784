#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>

#include "platform/folder.h"
#include "platform/utf.h"

bool ListFolderFiles(const std::u16string& path, std::vector<std::u16string>* names) {
  names->clear();
  const std::string folder = Utf16ToUtf8(path);
  struct stat info;
  // stat follows a link: a link to a folder is dropped as the folder.
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  // O_DIRECTORY refuses anything swapped in meanwhile, so nothing else is opened.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(fd), ::closedir);
  if (dir == nullptr) {
    (void)::close(fd);
    return true;
  }
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name.empty() || name.front() == '.') continue;  // hidden, and "." and ".." themselves
    // Followed, so a link counts as what it points to; a FIFO is only looked at, never opened.
    struct stat entry_info;
    if (::fstatat(::dirfd(dir.get()), entry->d_name, &entry_info, 0) != 0) continue;
    if (S_ISREG(entry_info.st_mode)) names->push_back(Utf8ToUtf16(name));
  }
  return true;
}
