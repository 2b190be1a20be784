#include "probe/vorbis_length.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

#include "probe/decoder_input.h"
#include "probe/decoder_memory.h"
#include "probe/decoder_mirror/ogg_header_check.h"
#include "probe/decoder_mirror/ogg_length_guard.h"
#include "probe/decoder_mirror/vorbis_setup_memo.h"

// Debian's header holds the whole decoder; its code is compiled elsewhere exactly once.
#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

namespace {

// The decoder takes all its memory from one area that we hand it, sized from its headers.
// Out of room, it fails cleanly (its own clean-up after a failed allocation frees pointers it
// never set, but with an area its frees do nothing). It reads its headers byte by byte, so an
// area too small costs a second pass: that happens only if its structures outgrow the sizes
// the estimate assumes, and the area is then doubled. Either way the result is the same as
// with unlimited memory, up to the largest area. Real files need 0.1 to 2 MiB.
constexpr std::uint64_t kLargestDecoderArea = kMaxDecoderAreaBytes;

struct DecoderCloser {
  void operator()(stb_vorbis* decoder) const { stb_vorbis_close(decoder); }
};

// One attempt at the file with the memory `grant` holds or can grow to without waiting. Returns
// 0 when done, with `*seconds` set where the file measures; otherwise the memory it needs in
// all, having freed everything.
std::uint64_t MeasureWithin(FileByteSource& file, MemoryBudget::Grant& grant,
                            const std::function<void()>& after_checks, int* decoder_opens,
                            float* seconds) {
  std::uint64_t refused_bytes = 0;
  const std::unique_ptr<DecoderInput> input =
      DecoderInput::Open(file, [&](std::uint64_t kept_bytes) {
        if (grant.GrowTo(kept_bytes)) return true;
        refused_bytes = kept_bytes;
        return false;
      });
  if (input == nullptr) return 0;
  // The decoder trusts the header fields; malformed ones must never reach it. It also cannot
  // always find the length: those files are n/a rather than measured wrong or slowly.
  std::uint64_t needed = 0;
  // Setup headers seen before are not walked again: the memo is shared by all files.
  const OggHeaderVerdict verdict =
      CheckOggVorbisHeaders(input->source(), &needed, &SharedSetupMemo());
  const bool passed =
      verdict == OggHeaderVerdict::kSafe && CanFindOggLength(input->source(), input->size());
  // Cut short, the checks found an end that is not the file's: again, with room for more
  // header bytes and an area as large (the decoder copies the comment header into it).
  if (input->cut_short()) return 2 * refused_bytes;
  if (!passed) return 0;
  after_checks();
  // Beyond the largest area the decoder still decides: the estimate may be a little high.
  std::uint64_t area_size = std::min(needed, kLargestDecoderArea);
  for (;;) {
    const std::uint64_t memory = input->kept_bytes() + area_size;
    if (!grant.GrowTo(memory)) return memory;
    // The stream stays the input's, so that a retry reads it again from the start.
    std::FILE* stream = input->stream();
    if (stream == nullptr) return 0;
    // Short of memory (a small address space), the file is n/a.
    const DecoderMemory area = AllocateDecoderMemory(static_cast<std::size_t>(area_size));
    if (area == nullptr) return 0;
    const stb_vorbis_alloc alloc{area.get(), static_cast<int>(area_size)};
    int error = 0;
    ++*decoder_opens;
    const std::unique_ptr<stb_vorbis, DecoderCloser> decoder(
        stb_vorbis_open_file(stream, /*close_on_free=*/0, &error, &alloc));
    if (decoder != nullptr) {
      // 0 frames: the decoder found no length; the rate is never 0 in a stream it accepts.
      const unsigned int frames = stb_vorbis_stream_length_in_samples(decoder.get());
      if (frames == kDecoderSaturatedFrames) return 0;
      const unsigned int rate = stb_vorbis_get_info(decoder.get()).sample_rate;
      *seconds = static_cast<float>(frames) / static_cast<float>(rate);
      return 0;
    }
    if (error != VORBIS_outofmem || area_size == kLargestDecoderArea) return 0;
    area_size = std::min(2 * area_size, kLargestDecoderArea);
  }
}

}  // namespace

float VorbisSeconds(FileByteSource& file, int* decoder_opens,
                    const std::function<void()>& after_checks, MemoryBudget& budget) {
  *decoder_opens = 0;
  float seconds = -1.0f;
  // A file that waits for memory is read and checked again: the hook runs after the first pass.
  bool checked = false;
  const std::function<void()> once = [&] {
    if (!checked && after_checks) after_checks();
    checked = true;
  };
  RunWithinBudget(budget, [&](MemoryBudget::Grant& grant) {
    const std::uint64_t need = MeasureWithin(file, grant, once, decoder_opens, &seconds);
    // What a large file freed goes back to the system before its grant does: otherwise each
    // thread's heap would keep what its last large file used, and memory would grow with the
    // number of threads.
    if (grant.bytes() > budget.first_grant()) ReturnFreedMemory();
    return need;
  });
  return seconds;
}

float VorbisSeconds(const std::u16string& path, int* decoder_opens,
                    const std::function<void()>& after_checks, MemoryBudget& budget) {
  *decoder_opens = 0;
  const std::unique_ptr<FileByteSource> file =
      FileByteSource::Open(path, FileSharing::kWritersKeptOut);
  if (file == nullptr) return -1.0f;
  return VorbisSeconds(*file, decoder_opens, after_checks, budget);
}
