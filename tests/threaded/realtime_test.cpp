// Real time on the SDL device (the dummy driver when headless): the queries follow the
// song's pace, and stopping, freeing and closing return promptly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "player/player.h"
#include "tests/support/playerkit.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(RealTime, PositionFollowsTheSongForThreeSeconds) {
  if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  installByteFileCallbacks();
  XmModule module = constantModule(1, 256);
  module.defaultSpeed = 1; // a row per tick: 882 frames, 20 ms
  module.patterns[0].at(0, 0) = {49, 1, 0, 0, 0};
  SongPtr song = loadModule(module);
  ASSERT_TRUE(openOutput(44100));
  ASSERT_TRUE(startSong(song.get()));
  const Clock::time_point start = Clock::now();
  int worst = 0;
  while (msSince(start) < 3000) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const double heardMs = msSince(start);
    const int row = getPlayingRow(song.get());
    // The heard block's record holds the row reached at that block's end.
    const int expectedRow = static_cast<int>((heardMs + 20.0) * 44.1 / 882.0);
    worst = std::max(worst, std::abs(row - expectedRow));
    EXPECT_LE(std::abs(row - expectedRow), 2) << "at " << heardMs << " ms";
    EXPECT_EQ(getPlayingOrder(song.get()), 0);
  }
  RecordProperty("worstRowError", worst);

  Clock::time_point t = Clock::now();
  EXPECT_TRUE(stopSong(song.get()));
  EXPECT_LT(msSince(t), 200.0);
  t = Clock::now();
  EXPECT_TRUE(freeSong(song.release()));
  EXPECT_LT(msSince(t), 200.0);
  t = Clock::now();
  closeOutput();
  EXPECT_LT(msSince(t), 200.0);
}

} // namespace
