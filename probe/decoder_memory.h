#pragma once

#include <cstddef>
#include <memory>

// Releases memory from AllocateDecoderMemory; it must know the size it was given.
struct DecoderMemoryRelease {
  std::size_t size;
  void operator()(char* memory) const;
};
using DecoderMemory = std::unique_ptr<char, DecoderMemoryRelease>;

// `size` bytes, not zeroed, for the decoder's memory area or the bytes kept for it; null when
// there is no room (a small address space). Where the platform offers them, a large area is
// backed by huge pages: every page given is written, and faulting them in 4 KiB at a time
// costs about as much as the rest of opening a file with a large comment header.
DecoderMemory AllocateDecoderMemory(std::size_t size);

// Gives the memory the heap holds free back to the system (where the platform allows), so
// that what one large file used and freed is not kept for the thread that measured it.
void ReturnFreedMemory();

// Makes every thread take its heap memory from one heap where the platform gives each thread a
// heap of its own (glibc reserves 64 MiB of address space for each): under a memory limit those
// would take the room the memory budget counts on, and keep what one thread freed from others.
void ShareOneHeap();
