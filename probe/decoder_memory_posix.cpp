#include <malloc.h>
#include <sys/mman.h>

#include <new>

#include "probe/decoder_memory.h"

namespace {

// Smaller areas come from the heap, which reuses its pages from file to file.
constexpr std::size_t kMappedBytes = std::size_t{4} << 20;

}  // namespace

DecoderMemory AllocateDecoderMemory(std::size_t size) {
  if (size < kMappedBytes) return DecoderMemory(new (std::nothrow) char[size], {size});
  void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return DecoderMemory(nullptr, {size});
  (void)::madvise(memory, size, MADV_HUGEPAGE);  // only a hint: small pages work as well
  return DecoderMemory(static_cast<char*>(memory), {size});
}

void DecoderMemoryRelease::operator()(char* memory) const {
  if (size < kMappedBytes) {
    delete[] memory;
  } else {
    (void)::munmap(memory, size);  // a mapping we made: nothing to do if this fails
  }
}

void ReturnFreedMemory() {
  // glibc keeps freed memory in each thread's arena: the bytes kept for a large comment header
  // come from there in 64 KiB blocks.
  (void)::malloc_trim(0);
}

void ShareOneHeap() { (void)::mallopt(M_ARENA_MAX, 1); }
