#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include "platform/descriptors_posix.h"
#include "platform/file_io.h"
#include "platform/utf.h"

namespace {

// The system's words for `error`, as in "No space left on device". The programs never set a
// locale, so they are the C locale's, the same for every user.
std::u16string ErrorText(int error) {
  char buffer[256];
  return Utf8ToUtf16(::strerror_r(error, buffer, sizeof buffer));  // GNU: returns the text
}

// Sets `*reason`, when asked for, to the text of errno.
void KeepReason(std::u16string* reason) {
  if (reason != nullptr) *reason = ErrorText(errno);
}

class PosixOutputFile : public OutputFile {
 public:
  explicit PosixOutputFile(int fd) : fd_(fd) {}
  ~PosixOutputFile() override { Close(); }

  bool Write(const void* data, std::size_t size) override {
    if (fd_ < 0) return false;
    ssize_t written;
    do {
      written = ::write(fd_, data, size);
    } while (written < 0 && errno == EINTR);
    if (written < 0) NoteFailure(ErrorText(errno));
    if (written < 0 || static_cast<std::size_t>(written) == size) return written >= 0;
    // Cut short where the space or the file size limit ran out: only a write of the rest gets
    // the system's reason. The file has failed either way.
    const auto rest = static_cast<std::size_t>(written);
    const ssize_t again = ::write(fd_, static_cast<const char*>(data) + rest, size - rest);
    NoteFailure(again < 0 ? ErrorText(errno) : u"a write was cut short");
    return false;
  }

  bool Close() override {
    if (fd_ < 0) return true;
    // The data reaches the disk before the file is given its name, so a crash or power cut
    // cannot leave a named file that is empty or cut short.
    int synced;
    do {
      synced = ::fsync(fd_);
    } while (synced != 0 && errno == EINTR);
    if (synced != 0) NoteFailure(ErrorText(errno));
    // Linux releases the descriptor even when close reports an error, so never retry it.
    const bool closed = ::close(fd_) == 0;
    if (!closed) NoteFailure(ErrorText(errno));
    fd_ = -1;
    return synced == 0 && closed;
  }

 private:
  int fd_;
};

// Creates `name` new and empty for writing, never following or replacing anything.
int CreateNew(const std::string& name) {
  // O_EXCL also refuses a symbolic link planted under the name, even a dangling one; 0666 lets
  // the umask decide, as for any file the user creates.
  return AboveStandardDescriptors(
      ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666));
}

// Seconds the kernel gives the holder of a lease to let go before it breaks the lease itself.
long LeaseBreakSeconds() {
  long seconds = 45;  // the kernel's default
  const int fd = ::open("/proc/sys/fs/lease-break-time", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return seconds;
  char text[24] = {};
  const ssize_t count = ::read(fd, text, sizeof text - 1);
  (void)::close(fd);
  if (count > 0) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end != text && value >= 0) seconds = value;
  }
  return seconds;
}

// `name` opened read-only; -1 (errno set) when it cannot be.
int OpenWithoutBlocking(const std::string& name) {
  // O_NONBLOCK: opening a FIFO with no writer would otherwise wait for one forever. It also
  // turns another program's write lease into EWOULDBLOCK rather than a wait: the kernel has
  // then asked the holder to let go, so the open is tried again until it has, or until the
  // kernel breaks the lease itself.
  constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(name.c_str(), kFlags);
  if (fd >= 0 || errno != EWOULDBLOCK) return fd;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(LeaseBreakSeconds());
  // Holders usually let go within milliseconds; the pause grows so that one that never does
  // costs few attempts.
  long pause_ns = 1000000;
  for (;;) {
    const timespec pause{0, pause_ns};
    (void)::nanosleep(&pause, nullptr);  // cut short by a signal: simply try sooner
    fd = ::open(name.c_str(), kFlags);
    if (fd >= 0 || errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      return fd;
    }
    pause_ns = std::min(2 * pause_ns, 100000000L);
  }
}

}  // namespace

const bool kKeepingWritersOutCanRefuse = false;

PathKind ExaminePath(const std::u16string& path, std::u16string* reason) {
  reason->clear();
  const std::string name = Utf16ToUtf8(path);
  struct stat info;
  if (::stat(name.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return PathKind::kMissing;
    KeepReason(reason);
    return PathKind::kUnreadable;
  }
  if (S_ISDIR(info.st_mode)) return PathKind::kFolder;
  if (!S_ISREG(info.st_mode)) return PathKind::kOther;
  // Without waiting for a lease's holder: a file under a lease is readable, only later.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 && errno != EWOULDBLOCK) {
    KeepReason(reason);
    return PathKind::kUnreadable;
  }
  if (fd >= 0) (void)::close(fd);
  return PathKind::kReadableFile;
}

std::FILE* OpenFileForReading(const std::u16string& path, FileSharing /*sharing*/) {
  const int fd = OpenWithoutBlocking(Utf16ToUtf8(path));
  if (fd < 0) return nullptr;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    (void)::close(fd);
    return nullptr;
  }
  // O_NONBLOCK served the open only; it is the one status flag the file was opened with, and
  // F_SETFL leaves the others alone. It has no effect on a regular file's reads, so should
  // clearing it fail, nothing changes.
  (void)::fcntl(fd, F_SETFL, 0);
  std::FILE* stream = ::fdopen(fd, "rb");
  if (stream == nullptr) {
    (void)::close(fd);
    return nullptr;
  }
  // Once a second thread exists glibc locks a stream on every call. Each stream here has one
  // reader at a time.
  (void)::__fsetlocking(stream, FSETLOCKING_BYCALLER);
  return stream;
}

bool ReadAheadFileEnds(const std::u16string& path, std::uint64_t bytes) {
  // A file under a lease refuses at once, and the probe waits for it later anyway.
  const int fd = ::open(Utf16ToUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  bool asked = false;
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && bytes > 0 &&
      bytes <= static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    // Where the system cannot say (before Linux 4.14, some network file systems), the byte
    // counts as out of the cache.
    char last;
    iovec into{&last, 1};
    if (::preadv2(fd, &into, 1, info.st_size - 1, RWF_NOWAIT) != 1) {
      const auto length = static_cast<off_t>(bytes);
      // Requests only: the kernel queues the reads and returns; a refusal costs nothing.
      (void)::posix_fadvise(fd, 0, length, POSIX_FADV_WILLNEED);
      if (info.st_size > length) {
        (void)::posix_fadvise(fd, info.st_size - length, length, POSIX_FADV_WILLNEED);
      }
      asked = true;
    }
  }
  (void)::close(fd);
  return asked;
}

std::unique_ptr<OutputFile> OutputFile::CreateTemporary(const std::u16string& folder_prefix,
                                                        std::u16string* path,
                                                        std::u16string* reason) {
  path->clear();
  const std::string prefix = Utf16ToUtf8(folder_prefix) + ".partial-" +
                             std::to_string(static_cast<long>(::getpid())) + "-";
  // Another run may use the same number in a shared folder after a pid wraps: try on.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = prefix + std::to_string(attempt) + ".tmp";
    const int fd = CreateNew(name);
    if (fd >= 0) {
      *path = Utf8ToUtf16(name);
      return std::make_unique<PosixOutputFile>(fd);
    }
    if (errno != EEXIST) break;
  }
  KeepReason(reason);
  return nullptr;
}

bool PublishFile(const std::u16string& from, const std::u16string& to, std::u16string* reason) {
  if (reason != nullptr) reason->clear();
  const std::string old_name = Utf16ToUtf8(from);
  const std::string new_name = Utf16ToUtf8(to);
  // A failure other than a taken name is kept as the reason.
  const auto failed = [reason] {
    if (errno != EEXIST) KeepReason(reason);
    return false;
  };
  if (::renameat2(AT_FDCWD, old_name.c_str(), AT_FDCWD, new_name.c_str(), RENAME_NOREPLACE) ==
      0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return failed();
  // A filesystem or kernel without the no-replace rename: a hard link never replaces either,
  // and the old name goes once the new one holds the whole file.
  if (::link(old_name.c_str(), new_name.c_str()) == 0) {
    (void)::unlink(old_name.c_str());  // a leftover temporary name is harmless
    return true;
  }
  if (errno == EEXIST) return false;
  // Nor hard links (FUSE-style network shares, some FAT drivers): the name is claimed with an
  // empty file only this run owns, which the finished file then replaces. Nothing another
  // program made is replaced, and the name holds the claim or the whole file, never a part.
  const int claim = CreateNew(new_name);
  if (claim < 0) return failed();
  (void)::close(claim);
  if (::rename(old_name.c_str(), new_name.c_str()) == 0) return true;
  (void)failed();
  (void)::unlink(new_name.c_str());
  return false;
}

bool RemoveFile(const std::u16string& path) {
  return ::unlink(Utf16ToUtf8(path).c_str()) == 0;
}
