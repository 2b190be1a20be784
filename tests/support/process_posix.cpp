#include "tests/support/process_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace {

// Reads what is available on `fd` into `out`; false once the other end is gone.
bool Drain(int fd, std::string& out) {
  char buffer[4096];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got > 0) {
    out.append(buffer, static_cast<std::size_t>(got));
    return true;
  }
  // A pseudo-terminal's master reports EIO once the child side has closed.
  return got < 0 && (errno == EINTR || errno == EAGAIN);
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

}  // namespace

std::string ProgramPath(std::string_view name) {
  return std::string(PROGRAM_DIR) + "/" + std::string(name);
}

RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options) {
  RunResult result;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  int master = -1, slave = -1;
  int in_pipe[2] = {-1, -1}, out_pipe[2] = {-1, -1}, err_pipe[2] = {-1, -1};
  if (options.terminal) {
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return result;
  } else if (::pipe(in_pipe) != 0 || ::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) {
    return result;
  }

  // A program that ends without reading all of its input must not take the test down with
  // SIGPIPE; the write just fails. The program itself starts with the default action.
  ::signal(SIGPIPE, SIG_IGN);
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGPIPE, SIG_DFL);
    if (options.terminal) {
      ::setsid();
      ::ioctl(slave, TIOCSCTTY, 0);
      ::dup2(slave, 0), ::dup2(slave, 1), ::dup2(slave, 2);
      ::close(master), ::close(slave);
    } else {
      ::dup2(in_pipe[0], 0), ::dup2(out_pipe[1], 1), ::dup2(err_pipe[1], 2);
      for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
        ::close(fd);
    }
    if (!options.working_dir.empty() && ::chdir(options.working_dir.c_str()) != 0) ::_exit(126);
    for (const std::string& entry : options.environment) ::putenv(const_cast<char*>(entry.c_str()));
    if (options.search_path) {
      ::execvp(args[0], args.data());
    } else {
      ::execv(args[0], args.data());
    }
    ::_exit(127);
  }

  int out_fd, err_fd = -1;
  if (options.terminal) {
    ::close(slave);
    out_fd = master;
  } else {
    ::close(in_pipe[0]), ::close(out_pipe[1]), ::close(err_pipe[1]);
    WriteAll(in_pipe[1], options.input);
    ::close(in_pipe[1]);
    out_fd = out_pipe[0];
    err_fd = err_pipe[0];
  }

  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  bool replied = options.prompt.empty();
  bool reaped = false;
  int status = 0;
  if (options.terminal && !options.input.empty()) WriteAll(master, options.input);
  bool out_open = true, err_open = err_fd >= 0;
  while (out_open || err_open) {
    if (std::chrono::steady_clock::now() > deadline) {
      result.timed_out = true;
      ::kill(child, SIGKILL);
      break;
    }
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    if (::poll(fds, err_open ? 2 : 1, 100) < 0 && errno != EINTR) break;
    if (out_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
      out_open = Drain(out_fd, result.output);
    if (err_open && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
      err_open = Drain(err_fd, result.error_output);
    if (!replied && result.output.find(options.prompt) != std::string::npos) {
      // Give the program time to block in its read before checking that it did.
      ::usleep(300 * 1000);
      reaped = ::waitpid(child, &status, WNOHANG) == child;
      result.waited_at_prompt = !reaped;
      if (!reaped) WriteAll(out_fd, options.reply);
      replied = true;
    }
  }
  ::close(out_fd);
  if (err_fd >= 0) ::close(err_fd);
  if (!reaped) reaped = ::waitpid(child, &status, 0) == child;
  if (reaped && WIFEXITED(status) && !result.timed_out) result.exit_code = WEXITSTATUS(status);
  return result;
}
