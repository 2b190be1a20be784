#include "probe/vorbis_setup_memo.h"

#include <algorithm>
#include <cstring>

namespace {

bool SameIdentification(const VorbisIdentification& a, const VorbisIdentification& b) {
  return a.channels == b.channels && a.short_block == b.short_block &&
         a.long_block == b.long_block;
}

}  // namespace

bool VorbisSetupMemo::Find(const VorbisIdentification& identification,
                           const std::string& packet, const Entry** found) const {
  for (const Entry& entry : entries_) {
    if (SameIdentification(entry.identification, identification) && entry.packet == packet) {
      *found = &entry;
      return true;
    }
  }
  return false;
}

bool VorbisSetupMemo::Recall(const VorbisIdentification& identification,
                             const std::string& packet, DecoderAreaModel& area) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const Entry* entry = nullptr;
  if (!Find(identification, packet, &entry)) return false;
  area = entry->area;
  ++recalled_;
  return true;
}

void VorbisSetupMemo::Remember(const VorbisIdentification& identification,
                               const std::string& packet, const DecoderAreaModel& area) {
  if (packet.size() > kMaxRememberedSetupBytes) return;
  const std::lock_guard<std::mutex> lock(mutex_);
  const Entry* entry = nullptr;
  if (Find(identification, packet, &entry)) return;  // another thread was first
  if (entries_.size() < kRememberedSetups) {
    entries_.push_back({identification, packet, area});
    return;
  }
  entries_[oldest_] = {identification, packet, area};
  oldest_ = (oldest_ + 1) % kRememberedSetups;
}

std::size_t VorbisSetupMemo::recalled() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return recalled_;
}

VorbisSetupMemo& SharedSetupMemo() {
  static VorbisSetupMemo memo;
  return memo;
}

OggHeaderVerdict CheckVorbisSetupRemembered(OggPacketReader& packet,
                                            const VorbisIdentification& identification,
                                            DecoderAreaModel& area, VorbisSetupMemo* memo) {
  if (memo == nullptr) {
    const OggHeaderVerdict verdict = CheckVorbisSetup(packet, identification, area);
    if (verdict == OggHeaderVerdict::kSafe) packet.FlushPacket();
    return verdict;
  }
  // The packet read to its end as the decoder reads what the walk leaves. The walk reads bits
  // from the same bytes and stops reading at the same end, whatever ends the packet there (its
  // last segment, a page not marked as going on, the end of the file, the cap): from there on
  // it takes every bit as 0. So these bytes and the identification decide its answer, and the
  // reader stands where it would after the walk. A packet too large to be remembered is not
  // copied whole: the walk alone reads it.
  const OggPacketReader::Place start = packet.Here();
  std::string bytes;
  const bool kept = packet.StartPacket() &&
                    packet.FlushPacket(&bytes, VorbisSetupMemo::kMaxRememberedSetupBytes);
  DecoderAreaModel setup(identification.channels, identification.short_block,
                         identification.long_block);
  if (kept && memo->Recall(identification, bytes, setup)) {
    area.Append(setup);
    return OggHeaderVerdict::kSafe;
  }
  packet.GoBack(start);
  const OggHeaderVerdict verdict = CheckVorbisSetup(packet, identification, setup);
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  packet.FlushPacket();
  area.Append(setup);
  if (kept) memo->Remember(identification, bytes, setup);
  return verdict;
}
