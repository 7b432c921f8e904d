#pragma once
// The show's frames in-process and deterministic: the real device, start-up and
// renderFrame, with the clock set by the test (port::setClock) and the song's heard
// position moved by the test through a fake wave-out device whose play cursor it sets.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "platform/port/backend.h"
#include "platform/win32.h"
#include "tests/support/fakeaudio.h"

// timeGetTime reads what the test set; Sleep waits a real millisecond (the playback
// thread polls the device in it), whatever the reading.
class ManualClock final : public port::Clock {
public:
  std::uint32_t nowMs() override { return now_.load(std::memory_order_acquire); }
  void sleepMs(std::uint32_t ms) override;
  void set(std::uint32_t ms) { now_.store(ms, std::memory_order_release); }
  void advance(std::uint32_t ms) { now_.fetch_add(ms, std::memory_order_acq_rel); }

private:
  std::atomic<std::uint32_t> now_{0};
};

class ShowFrame : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Moves the play cursor on, block by block near the goal, until the heard position is
  // at or past (order, row), and waits for the playback thread to catch up.
  void playTo(int order, int row);
  int heardOrder() const;
  int heardRow() const;
  // WM_QUIT requests waiting in the queue (taken out).
  int quitRequests();

  FakeAudioBackend audio; // before the start-up: the show opens its device
  ManualClock clock;

private:
  void moveCursorTo(std::int64_t block);
  std::int64_t cursorBlock = 0; // blocks the device has played
};
