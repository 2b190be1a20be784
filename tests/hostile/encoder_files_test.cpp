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

TEST(EncoderFilesTest, PassTheCheckAndMeasureAsTheDecoderAlone) {
  struct Encoding {
    std::string command;  // makes $OUT from $IN, a WAVE file of `rate` Hz and `channels`
    int rate, channels;
  };
  const std::string ffmpeg = "ffmpeg -loglevel error -i \"$IN\" ";
  const std::vector<Encoding> encodings = {
      {"oggenc -Q -q -1 -o \"$OUT\" \"$IN\"", 8000, 1},
      {"oggenc -Q -o \"$OUT\" \"$IN\"", 11025, 2},
      {"oggenc -Q -q 4 -o \"$OUT\" \"$IN\"", 22050, 3},
      {"oggenc -Q -o \"$OUT\" \"$IN\"", 44100, 4},
      {"oggenc -Q -o \"$OUT\" \"$IN\"", 44100, 5},
      {"oggenc -Q -q 8 -o \"$OUT\" \"$IN\"", 48000, 6},
      {"oggenc -Q -o \"$OUT\" \"$IN\"", 44100, 7},
      {"oggenc -Q -q 10 -o \"$OUT\" \"$IN\"", 48000, 8},
      {"oggenc -Q -q 10 -o \"$OUT\" \"$IN\"", 96000, 2},
      {"oggenc -Q -o \"$OUT\" \"$IN\"", 192000, 2},
      {"sox \"$IN\" -C 3 \"$OUT\"", 16000, 1},
      {"sox \"$IN\" -C 10 \"$OUT\"", 44100, 2},
      {ffmpeg + "-c:a libvorbis \"$OUT\"", 48000, 2},
      {ffmpeg + "-c:a libvorbis \"$OUT\"", 48000, 6},
      {ffmpeg + "-c:a vorbis -strict -2 \"$OUT\"", 44100, 2},  // ffmpeg's own encoder
  };
  ScopedTempDir dir;
  const std::string in = dir.File("in.wav");
  std::vector<std::string> made;
  for (const Encoding& e : encodings) {
    const std::string out = dir.File("file" + std::to_string(made.size()) + ".ogg");
    ASSERT_TRUE(Shell("sox -D -n -r " + std::to_string(e.rate) + " -c " +
                      std::to_string(e.channels) + " -b 16 '" + in +
                      "' synth 0.3 pinknoise vol 0.5"));
    // A missing encoder fails here, visibly.
    ASSERT_TRUE(Shell("IN='" + in + "' OUT='" + out + "'; " + e.command)) << e.command;
    made.push_back(out);
  }
  ASSERT_GE(made.size(), 2u);
  // Cover art: a comment of 600 KiB over many pages, added by the comment editor; and a
  // chained file, one stream after another.
  const std::string art = dir.File("art.ogg"), chained = dir.File("chained.ogg");
  ASSERT_TRUE(Shell("cp '" + made[1] + "' '" + art + "' && head -c 460000 /dev/urandom | " +
                    "base64 -w0 | sed 's/^/METADATA_BLOCK_PICTURE=/' > '" + dir.File("tag") +
                    "' && vorbiscomment -a -c '" + dir.File("tag") + "' '" + art + "'"));
  ASSERT_TRUE(Shell("cat '" + made[0] + "' '" + made[1] + "' > '" + chained + "'"));
  ASSERT_GT(ReadBytes(art).size(), 600u * 1024);
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
}

}  // namespace
