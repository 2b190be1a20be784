#include "console/terminal_posix.h"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "console/ansi_style.h"
#include "platform/descriptors_posix.h"

namespace {

constexpr int kInput = STDIN_FILENO;
constexpr int kOutput = STDOUT_FILENO;

// What the handlers give back and take again. The main flow changes it only with the handled
// signals blocked, so a handler never sees it half written.
struct Hold {
  char title[256];
  std::size_t title_size;
  // Whether the title is saved on the terminal's title stack and shown: restored only once,
  // and saved again only after that, so that the stack stays as it was found.
  bool title_shown;
  char colours[64];
  std::size_t colours_size;
  bool key_mode;
  termios line_settings;
};
Hold hold;
sigset_t handled;

// Blocks the handled signals for its lifetime.
class HandlersHeld {
 public:
  HandlersHeld() { ::sigprocmask(SIG_BLOCK, &handled, &previous_); }
  ~HandlersHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  HandlersHeld(const HandlersHeld&) = delete;
  HandlersHeld& operator=(const HandlersHeld&) = delete;

 private:
  sigset_t previous_;
};

// In a background process group the terminal belongs to another job: settings or escapes
// would land in its session, and tcsetattr would stop this program with SIGTTOU (so that a
// SIGTERM sent with SIGCONT to a stopped job would never end it).
bool InForeground(int fd) {
  const pid_t group = ::tcgetpgrp(fd);
  return group != -1 && group == ::getpgrp();
}

termios KeyModeOf(termios settings) {
  settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  return settings;
}

// Handlers from here on: only async-signal-safe calls.

void GiveBack() {
  if (hold.key_mode && InForeground(kInput)) {
    (void)::tcsetattr(kInput, TCSANOW, &hold.line_settings);
  }
  if (!InForeground(kOutput)) return;
  if (hold.colours_size != 0) (void)WriteAll(kOutput, kResetEscape);
  if (hold.title_shown) {
    (void)WriteAll(kOutput, kRestoreTitleEscape);
    hold.title_shown = false;
  }
}

void TakeAgain() {
  if (hold.key_mode && InForeground(kInput)) {
    const termios key_mode = KeyModeOf(hold.line_settings);
    (void)::tcsetattr(kInput, TCSANOW, &key_mode);
  }
  if (!InForeground(kOutput)) return;
  if (hold.title_size != 0 && !hold.title_shown) {
    (void)WriteAll(kOutput, kSaveTitleEscape);
    (void)WriteAll(kOutput, std::string_view(hold.title, hold.title_size));
    hold.title_shown = true;
  }
  if (hold.colours_size != 0) {
    (void)WriteAll(kOutput, std::string_view(hold.colours, hold.colours_size));
  }
}

void Install(int signal_number, void (*handler)(int)) {
  struct sigaction action{};
  action.sa_handler = handler;
  // No handler interrupts another; an interrupted read or wait goes on by itself.
  action.sa_mask = handled;
  action.sa_flags = SA_RESTART;
  (void)::sigaction(signal_number, &action, nullptr);
}

void OnEnd(int signal_number) {
  GiveBack();
  // The signal is blocked while its handler runs: raised again with the default action, it
  // ends the program as soon as the handler returns.
  (void)::signal(signal_number, SIG_DFL);
  (void)::raise(signal_number);
}

void OnStop(int) {
  const int saved_errno = errno;
  GiveBack();
  // Stops here, by the default action, so that the shell sees a stop by SIGTSTP. SIGCONT
  // stays blocked until this returns; its handler then takes the terminal again.
  (void)::signal(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  (void)::sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  (void)::raise(SIGTSTP);
  // Continued. A Ctrl+Z pressed at once waits for the handler, not for the default action.
  (void)::sigprocmask(SIG_BLOCK, &stop, nullptr);
  Install(SIGTSTP, OnStop);
  errno = saved_errno;
}

void OnContinue(int) {
  const int saved_errno = errno;
  // Continued in the background (bg), the program leaves the terminal alone; a later fg
  // brings another SIGCONT.
  TakeAgain();
  errno = saved_errno;
}

}  // namespace

void GuardTerminal() {
  constexpr struct {
    int number;
    void (*handler)(int);
  } kHandlers[] = {{SIGINT, OnEnd},   {SIGTERM, OnEnd}, {SIGHUP, OnEnd},
                   {SIGQUIT, OnEnd},  {SIGTSTP, OnStop}, {SIGCONT, OnContinue}};
  sigemptyset(&handled);
  for (const auto& entry : kHandlers) sigaddset(&handled, entry.number);
  for (const auto& entry : kHandlers) {
    struct sigaction previous{};
    (void)::sigaction(entry.number, nullptr, &previous);
    // A signal the starter chose to ignore (nohup, a background job) stays ignored.
    if (previous.sa_handler != SIG_IGN) Install(entry.number, entry.handler);
  }
}

void NoteTitle(std::string_view escape) {
  HandlersHeld held;
  // A title too long to hold whole is not taken again: cut, it would not end its escape.
  hold.title_size = escape.size() <= sizeof hold.title ? escape.size() : 0;
  std::memcpy(hold.title, escape.data(), hold.title_size);
  hold.title_shown = true;
}

bool ForgetTitle() {
  HandlersHeld held;
  const bool shown = hold.title_shown;
  hold.title_size = 0;
  hold.title_shown = false;
  return shown;
}

void NoteColours(std::string_view escape) {
  HandlersHeld held;
  hold.colours_size = std::min(escape.size(), sizeof hold.colours);
  std::memcpy(hold.colours, escape.data(), hold.colours_size);
}

bool EnterKeyMode() {
  termios settings;
  if (::tcgetattr(kInput, &settings) != 0) return false;
  {
    HandlersHeld held;
    hold.line_settings = settings;
    hold.key_mode = true;
  }
  // Not held: from a background job this call stops the program (SIGTTOU) until fg, and a
  // signal that ends it must still get through meanwhile. TCSANOW keeps a key typed ahead of
  // the prompt: it answers the prompt, as on Windows.
  const termios key_mode = KeyModeOf(settings);
  (void)::tcsetattr(kInput, TCSANOW, &key_mode);
  return true;
}

void LeaveKeyMode() {
  // Held, so that no stop in between takes key mode again after it was left.
  HandlersHeld held;
  if (InForeground(kInput)) {
    // A key such as an arrow sends several bytes; the rest must not reach the shell.
    (void)::tcflush(kInput, TCIFLUSH);
    (void)::tcsetattr(kInput, TCSANOW, &hold.line_settings);
  }
  hold.key_mode = false;
}
