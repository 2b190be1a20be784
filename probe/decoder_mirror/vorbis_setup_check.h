#pragma once

#include <cstdint>

#include "probe/decoder_mirror/decoder_area_model.h"
#include "probe/decoder_mirror/ogg_header_check.h"
#include "probe/decoder_mirror/ogg_packet_reader.h"

// What the setup check needs of the identification header.
struct VorbisIdentification {
  std::uint32_t channels = 0;
  std::uint32_t short_block = 0;  // samples
  std::uint32_t long_block = 0;
};

// Walks the setup header, read from `packet` at the start of its packet, field by field as the
// decoder parses it (fields from the packet's end on read as 0), and counts what the decoder
// allocates for it into `area`. Stops after the modes, as the decoder parses nothing after
// them, and leaves the rest of the packet unread. Returns
// - kSafe when the decoder accepts the header within the caps;
// - kBadPage when the packet cannot start: no page loads, or one claims to continue a packet;
// - kBadSetup when the decoder refuses it: the packet type or "vorbis", a codebook
//   (CheckVorbisCodebook), time-domain values, a floor type other than 1 or two floor points at
//   one position, a residue type over 2 or one that ends before it begins, a mapping type other
//   than 0, channel couplings or a submap out of range, a mode's window, transform or mapping,
//   or any codebook, floor or residue number beyond the last one;
// - kSetupTooLarge beyond the caps on codebook totals, residue classification entries and
//   their dimensions, or residue partitions (ogg_caps.h);
// - kUndefinedInDecoder for a codebook the decoder mishandles (CheckVorbisCodebook), 31-bit
//   codes searched entry by entry, or 16 submaps.
OggHeaderVerdict CheckVorbisSetup(OggPacketReader& packet,
                                  const VorbisIdentification& identification,
                                  DecoderAreaModel* area);
