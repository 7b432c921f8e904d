#include "player/render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "player/channel.h"
#include "player/ring.h"

namespace {

constexpr int StereoValues = 2;

// Watches the ticks for the song's natural end. One offline render at a time.
struct EndWatch {
  TickHandler inner = nullptr;
  std::int64_t tickStart = 0; // frame at which the tick being called starts
  std::int64_t endFrame = -1;
} watch;

void watchedTick(Song* song) {
  const bool turnsBack = song->tick == 0 && song->nextOrder >= 0 && song->nextOrder <= song->orderPos;
  if (turnsBack && watch.endFrame < 0) watch.endFrame = watch.tickStart;
  watch.inner(song);
  watch.tickStart += song->samplesPerTick; // the length this tick was given
}

} // namespace

bool OfflineRender::start(Song* song, std::int32_t rate) {
  finish();
  if (!song || ring.currentSong.load(std::memory_order_acquire)) return false;
  configureRing(rate);
  wave_ = static_cast<std::int16_t*>(std::calloc(static_cast<std::size_t>(ring.ringFrames) * StereoValues,
                                                 sizeof(std::int16_t)));
  if (!wave_ || !allocateRingWork()) {
    std::free(wave_);
    wave_ = nullptr;
    return false;
  }
  song_ = song;
  ring.wave = wave_;
  resetSongPosition(song);
  watch = EndWatch{song->tickHandler, 0, -1};
  song->tickHandler = watchedTick;
  ring.writeBlock.store(0, std::memory_order_release);
  ring.heardBlock.store(0, std::memory_order_release);
  ring.currentSong.store(song, std::memory_order_release);
  block_ = nullptr;
  blockUsed_ = 0;
  blocks_ = 0;
  return true;
}

void OfflineRender::finish() {
  if (!song_) return;
  song_->tickHandler = watch.inner;
  ring.currentSong.store(nullptr, std::memory_order_release);
  releaseRingWork();
  ring.wave = nullptr;
  std::free(wave_);
  wave_ = nullptr;
  song_ = nullptr;
}

const std::int16_t* OfflineRender::nextBlock() {
  lastBlock_ = ring.writeBlock.load(std::memory_order_relaxed);
  fillBlock();
  ++blocks_;
  return wave_ + static_cast<std::size_t>(lastBlock_) * ring.blockFrames * StereoValues;
}

void OfflineRender::render(std::int16_t* out, std::int64_t frames) {
  while (frames > 0) {
    if (!block_ || blockUsed_ == ring.blockFrames) {
      block_ = nextBlock();
      blockUsed_ = 0;
    }
    const std::int32_t n = static_cast<std::int32_t>(std::min<std::int64_t>(frames, ring.blockFrames - blockUsed_));
    std::memcpy(out, block_ + blockUsed_ * StereoValues, sizeof(std::int16_t) * StereoValues * n);
    out += StereoValues * n;
    blockUsed_ += n;
    frames -= n;
  }
}

std::int32_t OfflineRender::blockFrames() const { return ring.blockFrames; }

BlockPosition OfflineRender::lastPosition() const {
  if (!song_ || blocks_ == 0) return {};
  const PositionRecord& record = ring.positions[lastBlock_];
  return {record.order.load(std::memory_order_acquire), record.row.load(std::memory_order_acquire),
          record.elapsedMs.load(std::memory_order_acquire)};
}

std::int64_t OfflineRender::endFrame() const { return song_ ? watch.endFrame : -1; }

bool renderSong(Song* song, std::int16_t* out, std::int64_t frames) {
  OfflineRender render;
  if (!render.start(song)) return false;
  render.render(out, frames);
  return true;
}
