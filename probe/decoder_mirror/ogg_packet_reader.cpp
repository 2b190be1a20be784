#include "probe/decoder_mirror/ogg_packet_reader.h"

#include <algorithm>

void OggPacketReader::CountPages(std::uint64_t cap) {
  counted_ = 0;
  cap_ = cap;
}

std::uint8_t OggPacketReader::Get8() {
  std::uint8_t byte = 0;
  if (!NextByte(&byte)) eof_ = true;
  return byte;
}

bool OggPacketReader::GetN(std::uint8_t* out, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (!NextByte(&out[i])) break;
    if (i + 1 == size) return true;
  }
  // fread of one item of no bytes reads none, which the decoder takes for the end of the file.
  eof_ = true;
  return false;
}

bool OggPacketReader::StartPage() {
  if (over_cap_ || ReadOggPageHeader(*this, &page_) != OggPageRead::kPage) return false;
  counted_ += page_.size();
  if (counted_ > cap_) {
    over_cap_ = true;
    return false;
  }
  next_seg_ = 0;
  return true;
}

bool OggPacketReader::StartPacket() {
  while (next_seg_ == -1) {
    if (!StartPage() || (page_.flags & kOggContinuedPacket) != 0) return false;
  }
  last_seg_ = false;
  bytes_in_seg_ = 0;
  false_end_ = false;
  return true;
}

int OggPacketReader::NextSegment() {
  if (last_seg_) return 0;
  if (next_seg_ == -1) {
    if (!StartPage()) {
      last_seg_ = true;
      return 0;
    }
    // The decoder reports an error and returns the end of the packet, but does not mark the
    // packet ended: the next read goes on in this page.
    if ((page_.flags & kOggContinuedPacket) == 0) {
      false_end_ = true;
      return 0;
    }
  }
  const int length = page_.lacing[next_seg_++];
  if (length < 255) last_seg_ = true;
  if (next_seg_ >= page_.segment_count) next_seg_ = -1;
  bytes_in_seg_ = length;
  return length;
}

int OggPacketReader::Get8Packet() {
  if (bytes_in_seg_ == 0 && (last_seg_ || NextSegment() == 0)) return kEndOfPacket;
  --bytes_in_seg_;
  return Get8();
}

std::uint32_t OggPacketReader::Get32Packet(bool* undefined) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const int byte = Get8Packet();
    if (byte == kEndOfPacket && (i == 1 || i == 2)) *undefined = true;
    value += static_cast<std::uint32_t>(byte) << (8 * i);
  }
  return value;
}

void OggPacketReader::DropPacketBytes(std::uint64_t count) {
  while (count > 0) {
    if (bytes_in_seg_ == 0) {
      if (last_seg_) return;  // every further read is an end of packet
      if (NextSegment() == 0) {
        --count;
        continue;
      }
    }
    const int take = static_cast<int>(std::min<std::uint64_t>(count, bytes_in_seg_));
    Consume(static_cast<std::uint64_t>(take));
    bytes_in_seg_ -= take;
    count -= static_cast<std::uint64_t>(take);
  }
}

bool OggPacketReader::FlushPacket(std::string* bytes, std::size_t most) {
  for (;;) {
    if (bytes_in_seg_ == 0 && (last_seg_ || NextSegment() == 0)) return true;
    if (bytes != nullptr && static_cast<std::size_t>(bytes_in_seg_) > most - bytes->size()) {
      return false;
    }
    Consume(static_cast<std::uint64_t>(bytes_in_seg_), bytes);
    bytes_in_seg_ = 0;
  }
}

void OggPacketReader::SkipPacketBySeeking() {
  int length = bytes_in_seg_;
  do {
    position_ += static_cast<std::uint64_t>(length);  // a seek: nothing is read
    bytes_in_seg_ = 0;
    length = NextSegment();
  } while (length != 0);
}

OggPacketReader::Place OggPacketReader::Here() const {
  return {over_cap_, counted_,  cap_,      position_,     eof_,
          page_,     next_seg_, last_seg_, bytes_in_seg_, false_end_};
}

bool OggPacketReader::Place::operator==(const Place& other) const {
  return over_cap == other.over_cap && counted == other.counted && cap == other.cap &&
         position == other.position && eof == other.eof && page.flags == other.page.flags &&
         page.segment_count == other.page.segment_count && page.lacing == other.page.lacing &&
         next_seg == other.next_seg && last_seg == other.last_seg &&
         bytes_in_seg == other.bytes_in_seg && false_end == other.false_end;
}

void OggPacketReader::GoBack(const Place& place) {
  over_cap_ = place.over_cap;
  counted_ = place.counted;
  cap_ = place.cap;
  position_ = place.position;  // before the buffer, the next read refills it
  eof_ = place.eof;
  page_ = place.page;
  next_seg_ = place.next_seg;
  last_seg_ = place.last_seg;
  bytes_in_seg_ = place.bytes_in_seg;
  false_end_ = place.false_end;
}

bool OggPacketReader::Buffered() const {
  // GoBack may leave the position before the buffer.
  return position_ >= buffer_start_ && position_ - buffer_start_ < buffer_size_;
}

bool OggPacketReader::NextByte(std::uint8_t* byte) {
  if (!Buffered() && !Refill()) return false;
  *byte = buffer_[static_cast<std::size_t>(position_++ - buffer_start_)];
  return true;
}

void OggPacketReader::Consume(std::uint64_t size, std::string* copy) {
  while (size > 0) {
    if (!Buffered() && !Refill()) {
      eof_ = true;
      return;
    }
    const std::uint64_t take = std::min(size, buffer_start_ + buffer_size_ - position_);
    if (copy != nullptr) {
      const auto at = static_cast<std::size_t>(position_ - buffer_start_);
      copy->append(reinterpret_cast<const char*>(buffer_.data() + at),
                   static_cast<std::size_t>(take));
    }
    position_ += take;
    size -= take;
  }
}

bool OggPacketReader::Refill() {
  buffer_start_ = position_;
  buffer_size_ = 0;
  if (position_ >= end_) return false;
  if (!source_.Seek(position_)) {
    end_ = position_;
    return false;
  }
  // From the start, as much as the headers before the first audio packet take in nearly every
  // file (about 8 KiB): the bytes read are kept for the decoder on Linux.
  const std::size_t wanted = position_ == 0 ? kFirstReadBytes : buffer_.size();
  buffer_size_ = source_.Read(buffer_.data(), wanted);
  if (buffer_size_ < wanted) end_ = position_ + buffer_size_;
  return buffer_size_ > 0;
}
