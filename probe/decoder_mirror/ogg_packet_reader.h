#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "probe/byte_source.h"
#include "probe/decoder_mirror/ogg_page.h"

// The Vorbis decoder's reading of an Ogg stream through stdio, step for step; the decoder's
// names are given where they differ. Bytes of the file read as 0 past its end. Pages come in
// file order, whatever their serial numbers. Packets are joined from the pages' segments by
// their lacing values and read as bytes, -1 at their end. Page flags are looked at only where
// the decoder looks at them. The pages loaded are counted against a cap: past it no further
// page loads.
//
// Reads `source` from offset 0 through a 64 KiB buffer (a little over 64 KiB with the page
// header, whatever the file holds), and leaves its position unspecified.
class OggPacketReader final : public OggPageInput {
 public:
  // The end of packet, as the decoder's packet byte reader returns it.
  static constexpr int kEndOfPacket = -1;

  explicit OggPacketReader(ByteSource& source) : source_(source) {}

  // Counts the bytes of the pages loaded from now on against `cap`.
  void CountPages(std::uint64_t cap);
  // Whether a page passed the cap: it did not load, nor will any after it.
  bool over_cap() const { return over_cap_; }

  // The decoder's end-of-file flag: set by a read that met the end of the file, and by a block
  // read of no bytes.
  bool eof() const { return eof_; }
  // The page loaded last.
  const OggPageHeader& page() const { return page_; }
  // Whether the packet started last met a page without the continued flag where it goes on:
  // the decoder reads one end of packet there, then the new page as the packet's continuation.
  bool false_end() const { return false_end_; }

  std::uint8_t Get8() override;
  bool GetN(std::uint8_t* out, std::size_t size) override;

  // start_page: loads the next page header. False when there is none, when it is short, or
  // past the cap.
  bool StartPage();
  // start_packet: starts a packet, loading pages first where the last one is used up. False
  // when no page loads, or one claims to continue a packet. The decoder's maybe_start_packet
  // differs only in the error it reports, which no verdict tells apart.
  bool StartPacket();
  // next_segment: the next segment's length, loading the next page when the current one is
  // used up. 0 at the end of the packet.
  int NextSegment();

  // get8_packet: the next byte of the packet, or kEndOfPacket.
  int Get8Packet();
  // get32_packet. `*undefined` is set when the decoder shifts an end of packet (-1) left to
  // assemble the value, which happens for its second and third bytes.
  std::uint32_t Get32Packet(bool* undefined);
  // Get8Packet `count` times, dropping the bytes: a segment or a page at a time.
  void DropPacketBytes(std::uint64_t count);
  // flush_packet: reads up to the next end of packet; the bytes read are appended to `*bytes`
  // when it is given. With `bytes`, stops before `*bytes` would pass `most` bytes and returns
  // false, short of the end; true at the end.
  bool FlushPacket(std::string* bytes = nullptr,
                   std::size_t most = std::numeric_limits<std::size_t>::max());
  // What the decoder does after the comment header: seeks past the rest of the segment, then
  // past each segment up to one of no bytes, loading the pages they lie in.
  void SkipPacketBySeeking();

  // Where the reader stands, with all it knows of the page and the packet there. Going back
  // to it reads on from there again; the source must give the same bytes.
  struct Place {
    bool over_cap;
    std::uint64_t counted, cap, position;
    bool eof;
    OggPageHeader page;
    int next_seg;
    bool last_seg;
    int bytes_in_seg;
    bool false_end;

    bool operator==(const Place& other) const;
  };
  Place Here() const;
  void GoBack(const Place& place);

 private:
  // Whether the byte at the position is in the buffer.
  bool Buffered() const;
  bool NextByte(std::uint8_t* byte);
  // Bytes read and dropped (appended to `*copy` when given); at the end of the file the
  // position stays there, as with fgetc.
  void Consume(std::uint64_t size, std::string* copy = nullptr);
  bool Refill();

  ByteSource& source_;
  bool over_cap_ = false;
  std::uint64_t counted_ = 0;
  std::uint64_t cap_ = 0;
  std::uint64_t position_ = 0;
  std::uint64_t end_ = ~std::uint64_t{0};  // the file's end, once a read has met it
  std::uint64_t buffer_start_ = 0;
  std::uint64_t buffer_size_ = 0;
  static constexpr std::size_t kFirstReadBytes = std::size_t{16} << 10;
  std::array<std::uint8_t, 65536> buffer_;  // not zeroed: only what a read filled is read
  bool eof_ = false;
  OggPageHeader page_;
  int next_seg_ = -1;  // the next segment of the page; -1 when the page is used up
  bool last_seg_ = false;
  int bytes_in_seg_ = 0;
  bool false_end_ = false;
};
