// Files written by real encoders must pass the header check and measure exactly what the
// decoder alone measures: the check may only ever take away files the decoder mishandles.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/utf.h"
#include "probe/ogg_header_check.h"
#include "probe/vorbis_length.h"
#include "tests/support/test_support.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool HaveTool(const std::string& name) {
  return Shell("command -v " + name + " >/dev/null 2>&1");
}

// The decoder's own measurement, with no check in front of it.
float DecoderSeconds(const std::string& path) {
  int error = 0;
  stb_vorbis* decoder = stb_vorbis_open_filename(path.c_str(), &error, nullptr);
  if (decoder == nullptr) return -1.0f;
  const unsigned int frames = stb_vorbis_stream_length_in_samples(decoder);
  const unsigned int rate = stb_vorbis_get_info(decoder).sample_rate;
  stb_vorbis_close(decoder);
  return static_cast<float>(frames) / static_cast<float>(rate);
}

struct Encoding {
  std::string name;
  std::string tool;
  std::string command;  // makes $OUT from $IN (a WAVE file), both set by the caller
  int rate;
  int channels;
};

TEST(EncoderFilesTest, PassTheCheckAndMeasureAsTheDecoderAlone) {
  const std::vector<Encoding> encodings = {
      {"oggenc mono 8 kHz", "oggenc", "oggenc -Q -q -1 -o \"$OUT\" \"$IN\"", 8000, 1},
      {"oggenc stereo 11 kHz", "oggenc", "oggenc -Q -o \"$OUT\" \"$IN\"", 11025, 2},
      {"oggenc 3 channels", "oggenc", "oggenc -Q -q 4 -o \"$OUT\" \"$IN\"", 22050, 3},
      {"oggenc 4 channels", "oggenc", "oggenc -Q -o \"$OUT\" \"$IN\"", 44100, 4},
      {"oggenc 5 channels", "oggenc", "oggenc -Q -o \"$OUT\" \"$IN\"", 44100, 5},
      {"oggenc 6 channels", "oggenc", "oggenc -Q -q 8 -o \"$OUT\" \"$IN\"", 48000, 6},
      {"oggenc 7 channels", "oggenc", "oggenc -Q -o \"$OUT\" \"$IN\"", 44100, 7},
      {"oggenc 8 channels", "oggenc", "oggenc -Q -q 10 -o \"$OUT\" \"$IN\"", 48000, 8},
      {"oggenc 96 kHz", "oggenc", "oggenc -Q -q 10 -o \"$OUT\" \"$IN\"", 96000, 2},
      {"oggenc 192 kHz", "oggenc", "oggenc -Q -o \"$OUT\" \"$IN\"", 192000, 2},
      {"sox mono", "sox", "sox \"$IN\" -C 3 \"$OUT\"", 16000, 1},
      {"sox stereo", "sox", "sox \"$IN\" -C 10 \"$OUT\"", 44100, 2},
      {"ffmpeg libvorbis", "ffmpeg",
       "ffmpeg -loglevel error -i \"$IN\" -c:a libvorbis \"$OUT\"", 48000, 2},
      {"ffmpeg libvorbis 6 channels", "ffmpeg",
       "ffmpeg -loglevel error -i \"$IN\" -c:a libvorbis \"$OUT\"", 48000, 6},
      {"ffmpeg's own encoder", "ffmpeg",
       "ffmpeg -loglevel error -i \"$IN\" -c:a vorbis -strict -2 \"$OUT\"", 44100, 2},
  };
  ScopedTempDir dir;
  const std::string in = dir.File("in.wav");
  std::vector<std::string> made;
  for (const Encoding& e : encodings) {
    if (!HaveTool(e.tool)) {
      // Visible in the log rather than silently passing.
      ADD_FAILURE() << e.name << ": " << e.tool << " is not installed";
      continue;
    }
    const std::string out = dir.File("file" + std::to_string(made.size()) + ".ogg");
    ASSERT_TRUE(Shell("sox -D -n -r " + std::to_string(e.rate) + " -c " +
                    std::to_string(e.channels) + " -b 16 '" + in +
                    "' synth 0.3 pinknoise vol 0.5"));
    ASSERT_TRUE(Shell("IN='" + in + "' OUT='" + out + "'; " + e.command)) << e.name;
    made.push_back(out);
  }
  ASSERT_GE(made.size(), 2u);
  // Cover art: a comment of 600 KiB over many pages, added by the comment editor.
  const std::string art = dir.File("art.ogg");
  ASSERT_TRUE(Shell("cp '" + made[1] + "' '" + art + "' && head -c 460000 /dev/urandom | " +
                    "base64 -w0 | sed 's/^/METADATA_BLOCK_PICTURE=/' > '" + dir.File("tag") +
                    "' && vorbiscomment -a -c '" + dir.File("tag") + "' '" + art + "'"));
  // A chained file: one stream after another.
  const std::string chained = dir.File("chained.ogg");
  ASSERT_TRUE(Shell("cat '" + made[0] + "' '" + made[1] + "' > '" + chained + "'"));
  made.push_back(art);
  made.push_back(chained);

  for (const std::string& path : made) {
    std::FILE* stream = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, stream);
    EXPECT_EQ(OggHeaderVerdict::kSafe, CheckOggVorbisHeaders(stream)) << path;
    std::fclose(stream);
    const float alone = DecoderSeconds(path);
    EXPECT_GT(alone, 0.0f) << path;
    EXPECT_EQ(alone, VorbisSeconds(Utf8ToUtf16(path))) << path;
  }
  EXPECT_GT(ReadBytes(art).size(), 600u * 1024);
}

}  // namespace
