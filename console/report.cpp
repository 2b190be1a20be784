#include "console/report.h"

#include <string>

#include "console/number_text.h"

void WriteUsage(ConsoleOutput& console) {
  console.SetAttribute(kAttributeUsage);
  console.Write(u"[Usage] Drag and drop .wav and/or .ogg files onto this .exe\n");
}

void WriteHeader(ConsoleOutput& console) {
  console.SetAttribute(kAttributeHeader);
  console.Write(u"-------------------------\n");
  console.Write(u"[Filename]  -  [Duration]\n");
  console.Write(u"-------------------------\n");
}

void WriteFileLine(ConsoleOutput& console, std::u16string_view name, float seconds) {
  // One write per line, so a line reaches the console whole.
  std::u16string line(name);
  if (seconds < 0) {
    console.SetAttribute(kAttributeNotMeasured);
    line += u"  -  n/a\n";
  } else {
    console.SetAttribute(kAttributeMeasured);
    line += u"  -  ";
    line += DurationText(seconds);
    line += u'\n';
  }
  console.Write(line);
}

void WriteReasonBlock(ConsoleOutput& console, std::u16string_view heading,
                      const std::vector<NamedReason>& lines) {
  if (lines.empty()) return;
  console.SetAttribute(kAttributeNote);
  console.Write(u"\n");
  console.Write(std::u16string(heading) + u"\n");
  for (const NamedReason& line : lines) console.Write(line.name + u"  -  " + line.reason + u"\n");
}

void WriteNote(ConsoleOutput& console, std::u16string_view line) {
  console.SetAttribute(kAttributeNote);
  console.Write(std::u16string(line) + u"\n");
}

void WriteClosing(ConsoleOutput& console) {
  console.SetAttribute(kAttributeHeader);
  console.Write(u"\n");
  console.Pause();
}
