#pragma once

#include <string>

// The Ogg Vorbis route: the playing time of the Ogg Vorbis stream in the file at `path`
// (UTF-16), in seconds, as the stream's total sample frames divided by its sample rate.
// -1 when the file cannot be opened, its headers fail CheckOggVorbisHeaders (so that the
// decoder never sees them), or the decoder refuses it; 0 when the decoder accepts the
// stream but cannot find its length. Reads the headers, the first audio packet and the last
// page; decodes no other audio.
float VorbisSeconds(const std::u16string& path);
