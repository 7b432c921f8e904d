#include "tests/direction/showframe.h"

#include <chrono>
#include <thread>

#include "direction/demo.h"
#include "direction/globals.h"
#include "platform/port/testhooks.h"
#include "platform/port/window.h"
#include "player/player.h"
#include "player/ring.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/showleftovers.h"

namespace {

constexpr std::int64_t NearGoalMs = 200; // from here on the cursor moves one block at a time
constexpr std::int64_t LargestStep = 90; // blocks; under the ring's 100 so none is skipped
constexpr int RowMs = 80;                // every row of the song lasts 80 ms
constexpr int RowsPerOrder = 64;
constexpr auto CatchUpLimit = std::chrono::seconds(10);

} // namespace

void ManualClock::sleepMs(std::uint32_t) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); }

void ShowFrame::SetUp() {
  port::resetTestHooks();
  port::resetWindowing();
  port::setClock(&clock);
  resetShell();
  resetDirectionGlobals();
  ASSERT_EQ(initDirect3D(nullptr), S_OK);
  ASSERT_EQ(initDemo(), S_OK);
  ASSERT_NE(demoSong, nullptr);
}

void ShowFrame::TearDown() {
  if (!demoShutDown()) shutdownDemo();
  releaseShowLeftovers();
  port::setClock(nullptr);
  port::resetWindowing();
  resetShell();
  resetDirectionGlobals();
  port::resetTestHooks();
}

void ShowFrame::moveCursorTo(std::int64_t block) {
  cursorBlock = block;
  audio.setBytesPlayed(static_cast<std::uint64_t>(block) * ring.blockFrames * FrameBytes);
  const auto wanted = static_cast<std::int32_t>(block % ring.blockCount);
  const auto deadline = std::chrono::steady_clock::now() + CatchUpLimit;
  while (ring.writeBlock.load(std::memory_order_acquire) != wanted) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the playback thread did not catch up";
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

void ShowFrame::playTo(int order, int row) {
  const std::int64_t goal = std::int64_t{order} * RowsPerOrder + row;
  const double blockMs = 1000.0 * ring.blockFrames / ring.outputRate;
  for (;;) {
    const std::int64_t heard = std::int64_t{heardOrder()} * RowsPerOrder + heardRow();
    if (heard >= goal) return;
    const std::int64_t aheadMs = (goal - heard) * RowMs;
    std::int64_t step = 1;
    if (aheadMs > NearGoalMs) step = std::min<std::int64_t>(LargestStep, static_cast<std::int64_t>((aheadMs - NearGoalMs) / blockMs) + 1);
    moveCursorTo(cursorBlock + step);
    if (HasFatalFailure()) return;
  }
}

int ShowFrame::heardOrder() const { return getPlayingOrder(demoSong); }
int ShowFrame::heardRow() const { return getPlayingRow(demoSong); }

int ShowFrame::quitRequests() {
  int quits = 0;
  MSG m{};
  while (PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) ++quits;
  return quits;
}
