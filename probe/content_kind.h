#pragma once

#include <string_view>

#include "probe/byte_source.h"

// What a file holds, told from its first bytes: for saying why it could not be measured.
enum class ContentKind {
  kEmpty,       // no bytes at all
  kWave,        // a RIFF chunk of form type WAVE
  kOggVorbis,   // an Ogg page whose first packet is not another known codec's (Vorbis, or
                // damaged: the Ogg header check tells which)
  kOtherAudio,  // an audio format the programs do not read, named in SniffedContent::format
  kUnknown,     // no known signature: not audio, as far as its start tells
};

struct SniffedContent {
  ContentKind kind;
  std::u16string_view format;  // kOtherAudio: the format's name ("MP3", "Opus in Ogg")
};

// Reads the start of what `source` holds (a few hundred bytes from offset 0, and as many after
// an ID3v2 tag, which is skipped) and names its format by signature: RIFF/WAVE; Ogg, by its
// first packet (Vorbis, Opus, Speex, FLAC, or another codec); MP3 and other MPEG audio by
// frame sync, or by an ID3v2 tag with nothing else known after it; AAC in ADTS frames; FLAC;
// MP4/M4A (ftyp); WMA/ASF; AIFF and AIFF-C; RF64 and Wave64. Leaves the position unspecified.
SniffedContent SniffContent(ByteSource& source);
