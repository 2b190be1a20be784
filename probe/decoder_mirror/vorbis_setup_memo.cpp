#include "probe/decoder_mirror/vorbis_setup_memo.h"

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
                             const std::string& packet, DecoderAreaModel* area) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const Entry* entry = nullptr;
  if (!Find(identification, packet, &entry)) return false;
  *area = entry->area;
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
                                            DecoderAreaModel* area, VorbisSetupMemo* memo) {
  if (memo == nullptr) {
    const OggHeaderVerdict verdict = CheckVorbisSetup(packet, identification, area);
    if (verdict == OggHeaderVerdict::kSafe) packet.FlushPacket();
    return verdict;
  }
  // The packet read to its first end. Where that end is a true one (its last segment, a page
  // that does not load, the cap) every later read is an end too, so the walk, which takes every
  // bit as 0 from there on, reads only these bytes: they and the identification decide its
  // answer, and the reader stands where it would after the walk and the decoder's flush. Not
  // so where a page not marked as going on ends it early, or the file ends inside it: whether
  // the walk meets that end decides where the decoder's flush stops, past it or there, and
  // bytes read as zeros past the file's end are not an end of packet. Those packets, and those
  // too large to be copied whole, are walked every time.
  const OggPacketReader::Place start = packet.Here();
  std::string bytes;
  const bool kept = packet.StartPacket() &&
                    packet.FlushPacket(&bytes, VorbisSetupMemo::kMaxRememberedSetupBytes) &&
                    !packet.false_end() && !packet.eof();
  DecoderAreaModel setup(identification.channels, identification.short_block,
                         identification.long_block);
  if (kept && memo->Recall(identification, bytes, &setup)) {
    area->Append(setup);
    return OggHeaderVerdict::kSafe;
  }
  packet.GoBack(start);
  const OggHeaderVerdict verdict = CheckVorbisSetup(packet, identification, &setup);
  if (verdict != OggHeaderVerdict::kSafe) return verdict;
  packet.FlushPacket();
  area->Append(setup);
  if (kept) memo->Remember(identification, bytes, setup);
  return verdict;
}
