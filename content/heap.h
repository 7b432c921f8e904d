#pragma once
// Zero-filled blocks from the process heap, and the word copy used to fill vertex buffers.
#include <cstddef>

// A zero-filled block of at least `bytes` bytes. The heap block is bytes + 32 long and the
// caller gets the address 16 bytes into it: 16 spare bytes guard each side.
void* memAlloc(std::size_t bytes);
// Returns a block from memAlloc to the heap.
void memFree(void* block);
// Copies bytes / 4 32-bit words; a remainder of 1 to 3 bytes is not copied.
void copyWords(void* destination, const void* source, std::size_t bytes);
