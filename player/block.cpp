// Rendering one block of the ring: ticks interleaved with mixing, the block's position
// record, conversion to 16-bit. Also the ring's format and the tempo's tick length.
#include "player/ring.h"

#include "content/maths.h"
#include "player/mixer.h"
#include "player/player.h"
#include "player/song.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

Ring ring;

namespace {

constexpr std::int32_t MillisecondsPerSecond = 1000;
constexpr std::int32_t BlockFramesRoundUp = 3;
constexpr std::int32_t BlockFramesMultiple = 4;
constexpr std::int32_t RingHalves = 2; // the ring holds twice the output latency
constexpr std::size_t MixBytesPerFrame = 2 * sizeof(float);
constexpr std::size_t MixAlignment = 16;
constexpr std::size_t MixSlackBytes = 256;
constexpr int StereoValues = 2;
constexpr std::int32_t PositionByteMask = 0xFF;
// Ticks per second are bpm x 2/5.
constexpr float TicksPerBeatFactor = 2.0f;
constexpr float TicksPerBeatDivisor = 5.0f;

} // namespace

void configureRing(std::int32_t rate) {
  ring.outputRate = rate;
  ring.secondsPerFrame = 1.0f / static_cast<float>(rate);
  const std::int32_t framesPerBlock = (rate * BlockMs) / MillisecondsPerSecond + BlockFramesRoundUp;
  ring.blockFrames = framesPerBlock / BlockFramesMultiple * BlockFramesMultiple;
  ring.ringFrames = ring.blockFrames * (OutputLatencyMs / BlockMs) * RingHalves;
  ring.blockCount = ring.ringFrames / ring.blockFrames;
  configureMixer(rate);
}

bool allocateRingWork() {
  releaseRingWork();
  const std::size_t mixBytes = static_cast<std::size_t>(ring.ringFrames) * MixBytesPerFrame + MixSlackBytes;
  ring.mixAllocation = std::calloc(mixBytes, 1);
  // calloc, not new[]: new[] brings the array-length exception and all that throwing needs.
  // A record is an aggregate, so zeroed bytes are records reading order 0, row 0, 0 ms.
  ring.positions = static_cast<PositionRecord*>(
      std::calloc(static_cast<std::size_t>(ring.blockCount), sizeof(PositionRecord)));
  if (!ring.mixAllocation || !ring.positions) {
    releaseRingWork();
    return false;
  }
  const auto address = reinterpret_cast<std::uintptr_t>(ring.mixAllocation);
  ring.mix = reinterpret_cast<float*>((address + MixAlignment - 1) & ~(MixAlignment - 1));
  return true;
}

void releaseRingWork() {
  std::free(ring.mixAllocation);
  ring.mixAllocation = nullptr;
  ring.mix = nullptr;
  std::free(ring.positions);
  ring.positions = nullptr;
}

void fillBlock() {
  Song* song = ring.currentSong.load(std::memory_order_acquire);
  const std::int32_t block = ring.writeBlock.load(std::memory_order_relaxed);
  const std::int32_t first = block * ring.blockFrames;
  float* out = ring.mix + StereoValues * first;
  std::memset(out, 0, sizeof(float) * StereoValues * ring.blockFrames);

  std::int32_t done = 0;
  std::int32_t left = song->tickSamplesLeft;
  while (done < ring.blockFrames) {
    if (left == 0) {
      song->tickHandler(song);
      left = song->samplesPerTick;
    }
    const std::int32_t n = left < ring.blockFrames - done ? left : ring.blockFrames - done;
    mixVoices(out + StereoValues * done, n);
    done += n;
    left -= n;
    const float pieceMs = static_cast<float>(n) * ring.secondsPerFrame * static_cast<float>(MillisecondsPerSecond);
    song->elapsedMs += static_cast<std::int32_t>(roundToInt(pieceMs));
  }

  // Sequentially consistent, as the queries' check of heardBlock needs (player/output.cpp).
  PositionRecord& record = ring.positions[block];
  record.order.store(static_cast<std::uint8_t>(song->orderPos & PositionByteMask));
  record.row.store(static_cast<std::uint8_t>(song->row & PositionByteMask));
  record.elapsedMs.store(song->elapsedMs);
  song->tickSamplesLeft = left;
  convertBlock(ring.wave + StereoValues * first, out, ring.blockFrames);
  const std::int32_t next = block + 1 == ring.blockCount ? 0 : block + 1;
  ring.writeBlock.store(next, std::memory_order_release);
}

void setBpm(Song* song, std::int32_t bpm) {
  if (!song) return;
  song->bpm = bpm;
  const float ticksPerSecond = TicksPerBeatFactor * static_cast<float>(bpm) / TicksPerBeatDivisor;
  const float msPerTick = static_cast<float>(MillisecondsPerSecond) / ticksPerSecond;
  const float framesPerTick = static_cast<float>(ring.outputRate) * msPerTick / static_cast<float>(MillisecondsPerSecond);
  song->samplesPerTick = static_cast<std::int32_t>(roundToInt(framesPerTick));
}
