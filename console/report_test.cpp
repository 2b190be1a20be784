#include "console/report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/utf.h"

namespace {

// Records every call as one line of text, in order.
class RecordingConsole : public ConsoleOutput {
 public:
  void SetAttribute(std::uint16_t attribute) override {
    calls.push_back("attribute " + std::to_string(attribute));
  }
  void Write(std::u16string_view text) override { calls.push_back("write " + Utf16ToUtf8(text)); }
  void Pause() override { calls.push_back("pause"); }

  std::vector<std::string> calls;
};

TEST(ReportTest, TextsInTheirAttributesAndWrites) {
  RecordingConsole console;
  WriteUsage(console);
  WriteHeader(console);
  WriteFileLine(console, u"outro.wav", 5.668f);
  WriteFileLine(console, u"short.wav", 0.004f);
  WriteFileLine(console, u"caf\u00E9.ogg", -0.001f);
  WriteClosing(console);
  const std::vector<std::string> expected = {
      "attribute 13", "write [Usage] Drag and drop .wav and/or .ogg files onto this .exe\n",
      "attribute 7",  "write -------------------------\n",
      "write [Filename]  -  [Duration]\n", "write -------------------------\n",
      "attribute 10", "write outro.wav  -  5.67\n",
      "attribute 10", "write short.wav  -  0.00\n",
      "attribute 12", "write caf\xC3\xA9.ogg  -  n/a\n",
      "attribute 7",  "write \n",
      "pause"};
  EXPECT_EQ(console.calls, expected);
}

}  // namespace
