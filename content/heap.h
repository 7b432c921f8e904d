#pragma once
// Zero-filled blocks from the process heap, and the word copy used to fill vertex buffers.
#include <cstddef>

// Bytes of guard space on each side of every memAlloc block.
constexpr std::size_t HeapGuardBytes = 16;

// A zero-filled block of at least `bytes` bytes, owned by the caller until memFree. The
// heap block is bytes + 2 x HeapGuardBytes long and the caller gets the address
// HeapGuardBytes into it. Null only when the heap is exhausted (no caller checks).
void* memAlloc(std::size_t bytes);
// Returns a block from memAlloc to the heap; the heap's result (nonzero on success).
// Null does nothing and reports success.
int memFree(void* block);
// Copies bytes / 4 32-bit words; a remainder of 1 to 3 bytes is not copied.
void copyWords(void* destination, const void* source, std::size_t bytes);
