#include "probe/decoder_mirror/ogg_length_guard.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "probe/decoder_mirror/ogg_page.h"

namespace {

// The decoder starts its last-page search this far before the end of the file.
constexpr std::size_t kLastPageSearchSpan = 65536;

// The bytes from one position on, 0 past their end, as the decoder reads the file there.
class TailInput : public OggPageInput {
 public:
  TailInput(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

  std::uint8_t Get8() override { return at_ < size_ ? bytes_[at_++] : 0; }

  bool GetN(std::uint8_t* out, std::size_t size) override {
    const std::size_t left = size_ - at_;
    const std::size_t count = size < left ? size : left;
    std::memcpy(out, bytes_ + at_, count);
    at_ += count;
    return count == size && size > 0;
  }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace

bool CountLastPageSearch(ByteSource& source, std::uint64_t size, std::uint64_t* cost) {
  const std::uint64_t start = size > kLastPageSearchSpan ? size - kLastPageSearchSpan : 0;
  const std::size_t span = static_cast<std::size_t>(size - start);
  std::unique_ptr<std::uint8_t[]> tail(new (std::nothrow) std::uint8_t[span]);
  if (tail == nullptr || !source.Seek(start) || source.Read(tail.get(), span) != span) {
    return false;
  }
  *cost = span;
  for (std::size_t at = 0; at + 4 <= span; ++at) {
    // Straight to the next 'O': a real tail is mostly audio, with few of them.
    const void* next = std::memchr(tail.get() + at, 'O', span - 3 - at);
    if (next == nullptr) break;
    at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - tail.get());
    if (std::memcmp(tail.get() + at, "OggS", 4) != 0) continue;
    TailInput input(tail.get() + at, span - at);
    OggPageHeader page;
    (void)ReadOggPageHeader(input, &page);  // a short or foreign header still costs its bytes
    *cost += std::min<std::uint64_t>(page.size(), span - at);
    if (*cost > kMaxLastPageSearchBytes) break;
  }
  return true;
}

bool CanFindOggLength(ByteSource& source, std::uint64_t size) {
  std::uint64_t cost = 0;
  return size <= kMaxOggFileSize && CountLastPageSearch(source, size, &cost) &&
         cost <= kMaxLastPageSearchBytes;
}
