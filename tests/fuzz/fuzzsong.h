#pragma once
// Loading a fuzzer's bytes as the program loads its module: createSong through the
// program's own in-memory file operations (an unclosed file shows as a leak).
#include <cstddef>
#include <cstdint>

#include "direction/memoryfile.h"
#include "player/modulefile.h"
#include "player/song.h"

namespace fuzz {

struct Bytes {
  const std::uint8_t* data;
  std::size_t size;
};

inline void* openBytes(const void* source) {
  const auto* bytes = static_cast<const Bytes*>(source);
  return openMemoryFile(bytes->data, std::int32_t(bytes->size));
}

// Null when refused, *reason then saying why.
inline Song* loadSong(const std::uint8_t* data, std::size_t size, const char** reason) {
  installFileCallbacks(openBytes, memoryClose, memoryRead, memorySeek, memoryTell);
  const Bytes bytes{data, size};
  return createSongWithReason(&bytes, nullptr, reason);
}

// Inputs larger than the player's 32-bit file positions are not files it can be given.
constexpr std::size_t LargestInput = std::size_t(1) << 30;

} // namespace fuzz
