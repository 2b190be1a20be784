#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/entry.h"
#include "platform/utf.h"

namespace {

// A descriptor 0, 1 or 2 left closed by the starter would be handed to the next file opened,
// and the console's writes would land in it (config.cpp, say). /dev/null fills each gap; open
// takes the lowest free number, which is the one missing.
void FillStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd < 0) return;  // nothing better is available; the run goes on
    if (null_fd != fd) {
      (void)::dup2(null_fd, fd);
      (void)::close(null_fd);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Output that cannot be written fails as a write (EPIPE: the reader went away; EFBIG: past
  // the file size limit) and is reported as one, instead of ending the program mid-table and
  // leaving a half-written file behind.
  (void)::signal(SIGPIPE, SIG_IGN);
  (void)::signal(SIGXFSZ, SIG_IGN);
  FillStandardDescriptors();
  std::vector<std::u16string> args;
  args.reserve(argc > 0 ? static_cast<std::size_t>(argc) : 0);
  for (int i = 0; i < argc; ++i) args.push_back(Utf8ToUtf16(argv[i]));
  return ProgramMain(args);
}
