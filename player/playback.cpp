// The playback thread. It shares only single-writer atomics with the caller's thread:
// stopRequested (caller), mixing and threadFinished (thread), and the ring's indices and
// position records.
#include "player/playback.h"

#include <atomic>

#include "platform/win32.h"
#include "player/ring.h"

namespace {

constexpr DWORD PollMs = 5;
constexpr DWORD StopPollMs = 50;

std::atomic<bool> stopRequested{false};
std::atomic<bool> mixing{false};
std::atomic<bool> threadFinished{true};
HANDLE playbackThreadHandle = nullptr;
HWAVEOUT playbackDevice = nullptr;

// The block under the device's play cursor.
std::int32_t playingBlock() {
  MMTIME time{};
  time.wType = TIME_BYTES;
  waveOutGetPosition(playbackDevice, &time, sizeof time);
  const std::uint32_t frame = (time.u.cb / FrameBytes) % static_cast<std::uint32_t>(ring.ringFrames);
  return static_cast<std::int32_t>(frame / static_cast<std::uint32_t>(ring.blockFrames));
}

DWORD WINAPI playbackThread(LPVOID) {
  threadFinished.store(false, std::memory_order_release);
  while (!stopRequested.load(std::memory_order_acquire)) {
    const std::int32_t playBlock = playingBlock();
    while (ring.writeBlock.load(std::memory_order_acquire) != playBlock) {
      mixing.store(true, std::memory_order_release);
      // The block about to be rendered is the one the queries read until now: move them
      // on to the next block first, so that no query sees the record of audio two
      // seconds ahead while it is being rewritten.
      const std::int32_t heard = ring.heardBlock.load(std::memory_order_relaxed) + 1;
      ring.heardBlock.store(heard == ring.blockCount ? 0 : heard); // seq_cst: see readHeard
      fillBlock();
      mixing.store(false, std::memory_order_release);
    }
    Sleep(PollMs);
  }
  threadFinished.store(true, std::memory_order_release);
  return 0;
}

} // namespace

void startPlayback(HWAVEOUT device) {
  playbackDevice = device;
  stopRequested.store(false, std::memory_order_release);
  // Marked running before the thread exists, so that a stop right after the start waits
  // for it instead of finding the previous thread's "finished".
  threadFinished.store(false, std::memory_order_release);
  playbackThreadHandle = CreateThread(nullptr, 0, playbackThread, nullptr, 0, nullptr);
  if (!playbackThreadHandle) {
    threadFinished.store(true, std::memory_order_release);
    return;
  }
  SetThreadPriority(playbackThreadHandle, THREAD_PRIORITY_TIME_CRITICAL);
}

void waitWhileMixing() {
  while (mixing.load(std::memory_order_acquire)) {
  }
}

void stopPlayback() {
  stopRequested.store(true, std::memory_order_release);
  waitWhileMixing();
  if (!playbackThreadHandle) return;
  while (!threadFinished.load(std::memory_order_acquire)) Sleep(StopPollMs);
  CloseHandle(playbackThreadHandle);
  playbackThreadHandle = nullptr;
}
