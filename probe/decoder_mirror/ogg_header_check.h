#pragma once

#include <cstdint>

#include "probe/byte_source.h"
#include "probe/decoder_mirror/ogg_caps.h"
#include "probe/decoder_mirror/ogg_packet_reader.h"

// A portable gate in front of the Ogg Vorbis decoder. It reads the Ogg pages that carry the
// three Vorbis header packets (identification, comment, setup) exactly as the decoder reads
// them through a stdio stream (OggPacketReader), then follows the pages the decoder reads while
// it opens, up to the end of its first audio packet, without decoding anything. The verdict is
// the decoder's own answer (kSafe: it opens the stream), except where a cap (ogg_caps.h) or
// the decoder's undefined behaviour stops the file first. Memory use is a little over 64 KiB
// of read buffer, whatever the file says.
//
// Besides the caps, the check refuses what the decoder would handle with undefined behaviour,
// although a build of the decoder without checks often returns a length for it:
// - a 32-bit comment header field whose second or third byte lies past the packet's end: the
//   decoder shifts the -1 it reads there to the left;
// - a vendor or comment length of 2^31 or more: the decoder takes it as negative and writes
//   before its allocation;
// - a Huffman code of 31 bits in a codebook of at most 8 entries kept whole, named by a floor
//   or a residue: the decoder searches such a codebook by building a mask of 31 bits from an
//   int;
// - code lengths that trip the consistency check of the decoder's code builder (an assertion);
// - a lookup table of type 1 whose size the decoder's estimate takes beyond an int, converting
//   a float out of range;
// - a mapping with 16 submaps, the format's most: the decoder keeps them in arrays of 15;
// - a first audio packet that goes on in a page without the continued flag: the decoder reads
//   on after a false end of packet, with its bit buffer marked invalid, and shifts by -1.

enum class OggHeaderVerdict {
  kSafe,                 // the decoder opens the stream, within every cap
  kBadPage,              // the decoder refuses the pages: the first one (capture pattern,
                         // version, flags, one 30-byte packet), or the one where the comment
                         // or the setup header starts when it cannot load it (no capture
                         // pattern, another version, no segments, the end of the file) or, for
                         // the setup header, when it claims to continue a packet
  kHeadersTooLarge,      // the header pages exceed kMaxVorbisHeaderBytes, or the pages up to
                         // the end of the first audio packet kMaxFirstAudioBytes
  kBadIdentification,    // the decoder refuses the identification header: packet type,
                         // "vorbis", version, channels (1..16), rate (> 0), block sizes
                         // (exponents 6..13, short <= long) or framing bit
  kBadCommentHeader,     // the decoder refuses the comment header: an empty first segment, the
                         // packet type, "vorbis", or the framing bit
  kCommentsTooLarge,     // more than kMaxVorbisComments comments, or a vendor or comment string
                         // (in the packet or past its end) of kMaxDecoderAreaBytes or more,
                         // which the decoder's largest area cannot hold
  kBadSetup,             // the decoder refuses the setup header (CheckVorbisSetup)
  kSetupTooLarge,        // beyond the caps on codebook totals, residue classification entries
                         // and their dimensions, or residue partitions
  kUndefinedInDecoder,   // one of the shapes listed above that the decoder mishandles
};

// Whether `verdict` is the decoder's own refusal: given the file, the decoder returns no
// stream, safely. The other refusals are the caps and the shapes it mishandles.
constexpr bool IsDecoderRefusal(OggHeaderVerdict verdict) {
  return verdict == OggHeaderVerdict::kBadPage || verdict == OggHeaderVerdict::kBadIdentification ||
         verdict == OggHeaderVerdict::kBadCommentHeader || verdict == OggHeaderVerdict::kBadSetup;
}

class VorbisSetupMemo;

// Checks the Ogg Vorbis headers read from `source`, starting at offset 0, for a decoder that
// will read the same bytes through stb_vorbis_open_file. Leaves the source's position
// unspecified. kSafe only when the decoder may be given the file; `*decoder_area` then holds
// the bytes of memory area the decoder takes to open the stream and decode its first audio
// packet (DecoderAreaModel), and is unspecified otherwise. With `memo`, a setup header it
// remembers is not walked again, and one the decoder accepts is remembered
// (CheckVorbisSetupRemembered): the verdict and the area are the same. `after_setup`, when
// given, receives where the reader stood after a setup header the decoder accepts, which is
// also the same with and without the memo (a check for the tests).
OggHeaderVerdict CheckOggVorbisHeaders(ByteSource& source, std::uint64_t* decoder_area,
                                       VorbisSetupMemo* memo = nullptr,
                                       OggPacketReader::Place* after_setup = nullptr);
