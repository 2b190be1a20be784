#include "platform/descriptors_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool Await(int fd, short events) {
  pollfd entry{fd, events, 0};
  int ready;
  while ((ready = ::poll(&entry, 1, -1)) < 0 && errno == EINTR) {
  }
  return ready > 0;
}

}  // namespace

int AboveStandardDescriptors(int fd) {
  if (fd < 0 || fd > STDERR_FILENO) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  (void)::close(fd);
  return moved;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (written == 0) {
      return EIO;  // nothing taken and no error: give up rather than spin
    } else if (errno != EINTR && !((errno == EAGAIN || errno == EWOULDBLOCK) &&
                                   Await(fd, POLLOUT))) {
      return errno;
    }
  }
  return 0;
}

long ReadOneByte(int fd, char* byte) {
  for (;;) {
    const ssize_t got = ::read(fd, byte, 1);
    // A non-blocking descriptor (left so by whoever shares it) says EAGAIN: that is no key
    // yet, not the end of input, so the wait goes on in poll instead of ending or spinning.
    if (got >= 0 || (errno != EINTR && !((errno == EAGAIN || errno == EWOULDBLOCK) &&
                                         Await(fd, POLLIN)))) {
      return got;
    }
  }
}
