#include "console/console_output.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "console/ansi_style.h"
#include "console/report.h"
#include "console/terminal_posix.h"
#include "platform/descriptors_posix.h"
#include "platform/utf.h"

namespace {

constexpr int kInput = STDIN_FILENO;
constexpr int kOutput = STDOUT_FILENO;
constexpr std::u16string_view kPausePrompt = u"Press any key to continue . . . ";

class PosixConsole final : public ConsoleOutput {
 public:
  PosixConsole(std::u16string_view title, bool output_is_terminal, bool input_is_terminal)
      : output_is_terminal_(output_is_terminal), input_is_terminal_(input_is_terminal) {
    if (!output_is_terminal_) return;
    // From the first escape on, every way the program ends or stops gives the terminal back.
    GuardTerminal();
    // The title the terminal had comes back at the end: saved on its title stack first, and
    // noted after, so that a stop in between gives back nothing that was not saved.
    WriteBytes(kSaveTitleEscape);
    const std::string title_escape = TitleEscape(title);
    NoteTitle(title_escape);
    WriteBytes(title_escape);
    WriteBytes(kShowCursorEscape);
    SetAttribute(kAttributeStartup);
  }

  ~PosixConsole() override {
    if (!output_is_terminal_) return;
    NoteColours(kResetEscape);
    WriteBytes(kResetEscape);
    if (ForgetTitle()) WriteBytes(kRestoreTitleEscape);
  }

  void SetAttribute(std::uint16_t attribute) override {
    if (!output_is_terminal_) return;
    const std::string escape = AttributeEscape(attribute);
    NoteColours(escape);
    WriteBytes(escape);
  }

  void Write(std::u16string_view text) override {
    WriteBytes(output_is_terminal_ ? TerminalText(text) : Utf16ToUtf8(text));
  }

  void Pause() override;

  bool OutputLost() const override { return output_lost_; }

 private:
  void WriteBytes(std::string_view bytes);

  const bool output_is_terminal_;
  const bool input_is_terminal_;
  bool output_failed_ = false;
  bool output_lost_ = false;
};

void PosixConsole::WriteBytes(std::string_view bytes) {
  // After a failed write the output has a gap; more text would only hide it.
  if (output_failed_) return;
  const int error = WriteAll(kOutput, bytes);
  if (error == 0) return;
  output_failed_ = true;
  // A reader that went away (EPIPE) or an output the starter closed with nothing in its place
  // (EBADF) wants none of the text: nothing is lost, as with text left unread.
  if (error == EPIPE || error == EBADF) return;
  output_lost_ = true;
  std::string report = program_invocation_short_name;
  report += ": write error: ";
  report += std::strerror(error);
  report += '\n';
  (void)WriteAll(STDERR_FILENO, report);  // there is nowhere else to tell
}

void PosixConsole::Pause() {
  // Output that no one watches (a pipe, a file) gets no prompt and no wait: the prompt would
  // land in the file, and a user at the terminal would see a run that seems to hang.
  if (!output_is_terminal_) return;
  // A terminal is put in key mode, so one key ends the wait and is not shown; it is given back
  // however the program ends or stops. Any other standard input (a pipe, a file, /dev/null) is
  // read for at most one byte, and its end returns at once.
  const bool key_mode = input_is_terminal_ && EnterKeyMode();
  // Key mode is on before the prompt appears, so a key pressed on seeing it is never echoed.
  Write(kPausePrompt);
  char key;
  (void)ReadOneByte(kInput, &key);  // a key, the end of input or an error: the wait is over
  if (key_mode) LeaveKeyMode();
  // The key is not echoed; the line still ends so that what follows starts on a new line.
  Write(u"\n");
}

}  // namespace

std::unique_ptr<ConsoleOutput> ConsoleOutput::SetUp(std::u16string_view title) {
  // Decided once: a terminal gets colours, title and cursor escapes; anything else (a pipe, a
  // file) gets the plain UTF-8 texts only.
  return std::make_unique<PosixConsole>(title, ::isatty(kOutput) == 1, ::isatty(kInput) == 1);
}
