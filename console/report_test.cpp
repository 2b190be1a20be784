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

using Calls = std::vector<std::string>;

TEST(ReportTest, FixedTextsInTheirAttributes) {
  struct Case {
    const char* what;
    void (*write)(ConsoleOutput&);
    Calls expected;
  };
  const Case cases[] = {
      {"usage", WriteUsage,
       {"attribute 13", "write [Usage] Drag and drop .wav and/or .ogg files onto this .exe\n"}},
      {"header", WriteHeader,
       {"attribute 7", "write -------------------------\n", "write [Filename]  -  [Duration]\n",
        "write -------------------------\n"}},
      {"closing", WriteClosing, {"attribute 7", "write \n", "pause"}},
  };
  for (const Case& c : cases) {
    RecordingConsole console;
    c.write(console);
    EXPECT_EQ(console.calls, c.expected) << c.what;
  }
}

TEST(ReportTest, FileLineShowsDurationOrNotAvailable) {
  struct Case {
    std::u16string name;
    float seconds;
    Calls expected;
  };
  const Case cases[] = {
      {u"outro.wav", 5.668f, {"attribute 10", "write outro.wav  -  5.67\n"}},
      {u"intro.ogg", 61.5f, {"attribute 10", "write intro.ogg  -  61.50\n"}},
      {u"silence.wav", 0.0f, {"attribute 10", "write silence.wav  -  0.00\n"}},
      {u"short.wav", 0.004f, {"attribute 10", "write short.wav  -  0.00\n"}},
      {u"missing.ogg", -1.0f, {"attribute 12", "write missing.ogg  -  n/a\n"}},
      {u"tiny.ogg", -0.001f, {"attribute 12", "write tiny.ogg  -  n/a\n"}},
      {u"", 2.0f, {"attribute 10", "write   -  2.00\n"}},
      {u"caf\u00E9 \xDCFF.ogg", 1.25f, {"attribute 10", "write caf\xC3\xA9 \xFF.ogg  -  1.25\n"}},
  };
  for (const Case& c : cases) {
    RecordingConsole console;
    WriteFileLine(console, c.name, c.seconds);
    EXPECT_EQ(console.calls, c.expected) << Utf16ToUtf8(c.name);
  }
}

}  // namespace
