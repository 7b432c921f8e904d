#pragma once
// Offline rendering: the player's own block renderer (the same fillBlock the device path
// uses) driven without a device or a thread, into memory. Uses the player's one engine,
// so it must not run while a song plays on the device.
#include <cstdint>

struct Song;

constexpr std::int32_t OfflineRate = 44100; // frames per second

// Where the song was after a rendered block.
struct BlockPosition {
  int order = 0;
  int row = 0;
  std::int32_t elapsedMs = 0; // song milliseconds rendered up to the block's end
};

class OfflineRender {
public:
  OfflineRender() = default;
  OfflineRender(const OfflineRender&) = delete;
  OfflineRender& operator=(const OfflineRender&) = delete;
  ~OfflineRender() { finish(); }

  // Sets the song up from its start at `rate` frames per second (the voice table is
  // reset). False for null, while a song plays on the device, or when memory runs out.
  bool start(Song* song, std::int32_t rate = OfflineRate);
  // Releases the ring and gives the song back its own tick handler. Also on destruction.
  void finish();

  // Renders the next block: blockFrames() frames of interleaved 16-bit stereo, valid
  // until the next call.
  const std::int16_t* nextBlock();
  // Exactly `frames` frames of interleaved 16-bit stereo into `out`, continuing where
  // the last call stopped.
  void render(std::int16_t* out, std::int64_t frames);

  std::int32_t blockFrames() const;
  std::int64_t blocksRendered() const { return blocks_; }
  BlockPosition lastPosition() const; // of the last block rendered
  // The frame at which the song first turned back (the restart, or a jump to an earlier
  // or the same order position), counted from the start; -1 until that happens.
  std::int64_t endFrame() const;

private:
  Song* song_ = nullptr;
  std::int16_t* wave_ = nullptr;
  const std::int16_t* block_ = nullptr; // the block being handed out by render()
  std::int32_t blockUsed_ = 0;          // its frames already handed out
  std::int32_t lastBlock_ = 0;
  std::int64_t blocks_ = 0;
};

// The first `frames` frames of the song at 44100 Hz into `out` (interleaved stereo).
bool renderSong(Song* song, std::int16_t* out, std::int64_t frames);
