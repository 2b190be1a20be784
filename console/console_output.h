#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

// The programs' only report channel. One instance is set up first thing and used for every
// later write. Results of the underlying console calls are ignored: a console that cannot be
// styled or written still lets the program run to its end.
class ConsoleOutput {
 public:
  // Styles the console window (colours, title, cursor, and on Windows font, palette, buffer,
  // window size and icon) and returns the output every later call goes through. Decides once
  // whether output is a console or terminal (coloured) or redirected (plain text, no escapes).
  // On POSIX it also makes a write to a pipe whose reader has gone fail quietly instead of
  // ending the process (SIGPIPE is ignored from then on). On Windows it first notes what the
  // styling changes, to give it back when the program ends.
  static std::unique_ptr<ConsoleOutput> SetUp(std::u16string_view title);

  // Leaves the console as the set-up found it, for a user who keeps using it: a terminal with
  // its default colours; a Windows console with its code pages, buffer and window size, cursor,
  // colour table, text attribute, font, title and icon (also when Ctrl+C, Ctrl+Break or closing
  // the window ends the program).
  virtual ~ConsoleOutput() = default;

  // Attribute = background palette index * 16 + foreground palette index.
  virtual void SetAttribute(std::uint16_t attribute) = 0;

  // Writes `text` (at most one line) with one write call, in the current attribute. A short or
  // failed write is not repeated. A terminal is shown DisplayText (console/display_text.h) of
  // it; redirected output gets the text byte for byte, names included.
  virtual void Write(std::u16string_view text) = 0;

  // Shows the "Press any key to continue . . . " prompt and waits for one key press, then ends
  // the line. Returns at once when no key can come (input at its end, or not interactive).
  // Does nothing when output is redirected (not a terminal or console): no prompt, no wait.
  virtual void Pause() = 0;
};
