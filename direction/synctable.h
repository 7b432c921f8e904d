#pragma once
// The song positions at which the show flashes, in strictly increasing song order.
#include <cstdint>

struct SyncPoint {
  std::int32_t order; // position in the song's order table
  std::int32_t row;   // row within that order's pattern
};

constexpr int SyncPointCount = 72;

extern const SyncPoint syncTable[SyncPointCount];
