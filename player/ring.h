#pragma once
// The output ring shared by the device path and the offline render: its format, its
// buffers, the per-block position records and the block indices. One ring per player.
#include <atomic>
#include <cstdint>

struct Song;

// Song position after a block was rendered. Written by the renderer, read by any thread.
struct PositionRecord {
  std::atomic<std::uint8_t> order;     // low 8 bits of orderPos
  std::atomic<std::uint8_t> row;       // low 8 bits of row
  std::atomic<std::int32_t> elapsedMs; // song milliseconds rendered up to the block's end
};

constexpr std::int32_t OutputLatencyMs = 1000; // half the ring's length
constexpr std::int32_t BlockMs = 20;
constexpr int FrameBytes = 4; // 16-bit stereo

struct Ring {
  // Format, from configureRing.
  std::int32_t outputRate = 0;    // frames per second
  float secondsPerFrame = 0.0f;
  std::int32_t blockFrames = 0;   // frames per block, a multiple of 4
  std::int32_t ringFrames = 0;
  std::int32_t blockCount = 0;
  // Buffers, from allocateRing; owned by whoever allocated them.
  float* mix = nullptr;            // ringFrames x 2 floats, 16-byte aligned, inside mixAllocation
  void* mixAllocation = nullptr;
  std::int16_t* wave = nullptr;    // ringFrames x 2 samples: what fillBlock writes
  PositionRecord* positions = nullptr; // blockCount records
  // Single-writer indices: writeBlock by the renderer, heardBlock by the playback thread.
  std::atomic<std::int32_t> writeBlock{0};
  std::atomic<std::int32_t> heardBlock{0};
  // The song fillBlock renders; null when nothing plays.
  std::atomic<Song*> currentSong{nullptr};
};

extern Ring ring;

// Sizes the ring for `rate` frames per second and configures the mixer (which zeroes the
// voice table). 884-frame blocks, 100 of them, at 44100.
void configureRing(std::int32_t rate);
// Allocates the mix buffer and the position records (zeroed). False on allocation failure.
bool allocateRingWork();
// Frees them; null pointers are left.
void releaseRingWork();

// Renders block writeBlock of the ring for currentSong and advances writeBlock.
void fillBlock();
