#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "probe/decoder_mirror/decoder_area_model.h"
#include "probe/decoder_mirror/ogg_header_check.h"
#include "probe/decoder_mirror/ogg_packet_reader.h"
#include "probe/decoder_mirror/vorbis_setup_check.h"

// Setup headers the decoder accepts, remembered with what the setup check counted for them:
// files from one encoder setting carry byte-identical setup headers, and walking one costs as
// much again as the decoder's own reading of it. An entry is the identification fields the walk
// depends on (channels, block sizes) and the whole packet, compared byte for byte, never by a
// hash; packets larger than kMaxRememberedSetupBytes are not kept. At most kRememberedSetups
// entries, the oldest replaced first. Safe to share between threads.
class VorbisSetupMemo {
 public:
  static constexpr std::size_t kRememberedSetups = 32;
  static constexpr std::size_t kMaxRememberedSetupBytes = std::size_t{1} << 16;

  // The setup check's area for this packet (`packet` holding all its bytes), counted from
  // nothing, when it was remembered as accepted; false otherwise.
  bool Recall(const VorbisIdentification& identification, const std::string& packet,
              DecoderAreaModel* area) const;
  void Remember(const VorbisIdentification& identification, const std::string& packet,
                const DecoderAreaModel& area);

  // How many Recall calls found their packet (a test hook).
  std::size_t recalled() const;

 private:
  struct Entry {
    VorbisIdentification identification;
    std::string packet;
    DecoderAreaModel area;
  };
  bool Find(const VorbisIdentification& identification, const std::string& packet,
            const Entry** found) const;

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::size_t oldest_ = 0;
  mutable std::size_t recalled_ = 0;
};

// The programs' memo, shared by every file they measure.
VorbisSetupMemo& SharedSetupMemo();

// CheckVorbisSetup, then, when it answers kSafe, the decoder's reading of the rest of the
// packet (OggPacketReader::FlushPacket): the same verdict, area and reader state as those two,
// but where `memo` (when given) remembers the packet, it is read to its end without the walk.
// Only packets that end where their last segment, the cap or the pages end, inside the file,
// are remembered and recalled.
OggHeaderVerdict CheckVorbisSetupRemembered(OggPacketReader& packet,
                                            const VorbisIdentification& identification,
                                            DecoderAreaModel* area, VorbisSetupMemo* memo);
