#pragma once
// The program's file operations for the module player: a read-only in-memory file over
// the embedded XM module. They match the player's installable operations (modulefile.h).
// Positions, sizes and counts are in bytes.
#include <cstdint>

// A zeroed record from memAlloc, released by memoryClose.
struct MemoryFile {
  std::int32_t size;        // byte length of the data
  std::int32_t position;    // current read position, always within 0..size
  const std::uint8_t* data; // first byte; not owned (the bytes outlive the file)
};

// Opens `bytes` bytes at `data` (which must stay valid until memoryClose). A negative size
// counts as empty. Null only when the heap is exhausted.
MemoryFile* openMemoryFile(const std::uint8_t* data, std::int32_t bytes);

// The five operations the program installs. memoryOpen ignores source and presents the
// embedded module (data/embedded.h).
void* memoryOpen(const void* source);
// Releases the record; returns the heap's result.
std::int32_t memoryClose(void* handle);
// Copies min(count, size - position) bytes, advances the position and returns that count.
// A negative count delivers nothing. The destination past the delivered bytes is untouched.
std::int32_t memoryRead(void* destination, std::int32_t count, void* handle);
// Origin 0: position = offset; 1: position + offset; 2: size + offset; any other origin
// leaves the position unchanged. The result is clamped to 0..size. Returns the handle.
void* memorySeek(void* handle, std::int32_t offset, std::uint8_t origin);
std::int32_t memoryTell(void* handle);
