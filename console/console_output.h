#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

// The programs' only report channel. One instance is set up first thing and used for every
// later write. A console that cannot be styled or written still lets the program run to its
// end; the results of styling calls are ignored.
class ConsoleOutput {
 public:
  // Styles the console window (colours, title, cursor, and on Windows font, palette, buffer,
  // window size and icon) and returns the output every later call goes through. Decides once
  // whether output is a console or terminal (coloured) or redirected (plain text, no escapes).
  // On POSIX, on a terminal, it also gives the
  // terminal back (colours, and the pause's key mode) before the program ends by SIGINT,
  // SIGTERM, SIGHUP or SIGQUIT or stops by SIGTSTP, taking it again when continued in the
  // foreground. On Windows it first notes what the styling changes, to give it back when the
  // program ends.
  static std::unique_ptr<ConsoleOutput> SetUp(std::u16string_view title);

  // Leaves the console as the set-up found it, for a user who keeps using it: a terminal with
  // its default colours; a Windows console with its code pages, buffer and window size, cursor,
  // colour table, text attribute, font, title and icon (also when Ctrl+C, Ctrl+Break or closing
  // the window ends the program). The buffer never becomes smaller than what was written into
  // it, so no printed text is cut, and the window shows the last lines written.
  virtual ~ConsoleOutput() = default;

  // Attribute = background palette index * 16 + foreground palette index.
  virtual void SetAttribute(std::uint16_t attribute) = 0;

  // Writes `text` (at most one line) in the current attribute. A terminal is shown
  // DisplayText (console/display_text.h) of it; redirected output gets the text byte for
  // byte, names included. On Windows one write call, a short or failed one not repeated. On
  // POSIX every byte is written, waiting while a non-blocking output is full; after a write
  // fails, later texts are dropped (see OutputLost).
  virtual void Write(std::u16string_view text) = 0;

  // Shows the "Press any key to continue . . . " prompt and waits for one key press, then ends
  // the line. Returns at once when no key can come (input at its end, or not interactive).
  // Does nothing when output is redirected (not a terminal or console): no prompt, no wait.
  virtual void Pause() = 0;

  // True once standard output has lost text: a write failed other than because its reader
  // went away (EPIPE) or the starter closed it with nothing in its place (EBADF). The failure
  // was reported once on standard error, under the name the program was started by
  // ("lumtass: write error: No space left on device"); the program then ends with status 1,
  // so that a script does not take a cut table for a whole one. Windows does not check its
  // writes: always false there.
  virtual bool OutputLost() const { return false; }
};
