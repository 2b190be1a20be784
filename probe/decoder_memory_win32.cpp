#include <malloc.h>

#include <new>

#include "probe/decoder_memory.h"

// The heap serves every size: Windows gives large pages only to privileged processes.
DecoderMemory AllocateDecoderMemory(std::size_t size) {
  return DecoderMemory(new (std::nothrow) char[size], {size});
}

void DecoderMemoryRelease::operator()(char* memory) const { delete[] memory; }

void ReturnFreedMemory() { (void)_heapmin(); }

// The C runtime's heap is already the process's one heap.
void ShareOneHeap() {}
