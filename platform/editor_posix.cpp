#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/descriptors_posix.h"
#include "platform/editor.h"
#include "platform/utf.h"

namespace {

// Tells the waiting parent that no editor runs. Async-signal-safe.
void ReportFailure(int fd) {
  const char failed = 1;
  const ssize_t written = ::write(fd, &failed, 1);
  (void)written;  // a report that cannot be written leaves the parent believing it started
}

}  // namespace

bool OpenInTextEditor(const std::u16string& path) {
  // Everything the children need is prepared before fork: only async-signal-safe calls after.
  const std::string file = Utf16ToUtf8(path);
  char program[] = "xdg-open";
  char* const argv[] = {program, const_cast<char*>(file.c_str()), nullptr};
  // The children report a failure with one byte on this pipe. Its write end closes on a
  // successful exec, so the end of the pipe with nothing on it means the editor started,
  // without waiting for the editor itself.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return false;

  const pid_t child = ::fork();
  if (child < 0) {
    (void)::close(report[0]);
    (void)::close(report[1]);
    return false;
  }
  if (child == 0) {
    // The editor gets its own session and no terminal, so it never competes with the pause
    // for key presses; the grandchild is adopted by init, so no zombie is left behind.
    (void)::close(report[0]);
    (void)::setsid();
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      (void)::dup2(null_fd, STDIN_FILENO);
      (void)::dup2(null_fd, STDOUT_FILENO);
      (void)::dup2(null_fd, STDERR_FILENO);
      if (null_fd > STDERR_FILENO) (void)::close(null_fd);
    }
    const pid_t grandchild = ::fork();
    if (grandchild == 0) {
      // Nothing else the program holds open (a terminal, say) is handed to the editor; the
      // report pipe closes by itself on exec. An old kernel without close_range keeps them.
      const unsigned first = STDERR_FILENO + 1;
      const unsigned keep = static_cast<unsigned>(report[1]);
      if (keep > first) (void)::close_range(first, keep - 1, 0);
      (void)::close_range(keep >= first ? keep + 1 : first, ~0U, 0);
      // The program ignores SIGPIPE and SIGXFSZ for itself; an ignored signal would survive
      // the exec.
      (void)::signal(SIGPIPE, SIG_DFL);
      (void)::signal(SIGXFSZ, SIG_DFL);
      (void)::execvp(program, argv);
      ReportFailure(report[1]);
      ::_exit(127);
    }
    if (grandchild < 0) ReportFailure(report[1]);
    ::_exit(0);
  }
  (void)::close(report[1]);
  char failed;
  const bool started = ReadOneByte(report[0], &failed) == 0;
  (void)::close(report[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return started;
}
