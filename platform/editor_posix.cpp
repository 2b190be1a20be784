#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/editor.h"
#include "platform/utf.h"

void OpenInTextEditor(const std::u16string& path) {
  // Everything the children need is prepared before fork: only async-signal-safe calls after.
  const std::string file = Utf16ToUtf8(path);
  char program[] = "xdg-open";
  char* const argv[] = {program, const_cast<char*>(file.c_str()), nullptr};

  const pid_t child = ::fork();
  if (child < 0) return;
  if (child == 0) {
    // The editor gets its own session and no terminal, so it never competes with the pause
    // for key presses; the grandchild is adopted by init, so no zombie is left behind.
    ::setsid();
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
      ::dup2(null_fd, STDIN_FILENO);
      ::dup2(null_fd, STDOUT_FILENO);
      ::dup2(null_fd, STDERR_FILENO);
      if (null_fd > STDERR_FILENO) ::close(null_fd);
    }
    if (::fork() == 0) {
      // Nothing else the program holds open (a terminal, say) is handed to the editor.
      (void)::close_range(STDERR_FILENO + 1, ~0U, 0);  // an old kernel without it: keep them
      // The console ignores SIGPIPE for itself; an ignored signal would survive the exec.
      ::signal(SIGPIPE, SIG_DFL);
      ::execvp(program, argv);
      ::_exit(127);
    }
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}
