// Real time on the SDL device (the dummy driver when headless): the queries follow the
// song's pace, and stopping, freeing and closing return promptly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
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

// The playback thread's whole life a hundred times over on one live device: start, play
// until the heard position moves, stop, free. Under ThreadSanitizer this is the check
// that nothing the thread shares with the caller is touched unordered.
TEST(RealTime, StartPlayStopAndFreeAHundredTimesInARow) {
  if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  installByteFileCallbacks();
  XmModule module = constantModule(1, 256);
  module.defaultSpeed = 1; // a row per 20 ms
  module.patterns[0].at(0, 0) = {49, 1, 0, 0, 0};
  ASSERT_TRUE(openOutput(44100));
  for (int run = 0; run < 100; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    SongPtr song = loadModule(module);
    ASSERT_TRUE(song);
    ASSERT_TRUE(startSong(song.get()));
    const Clock::time_point start = Clock::now();
    while (getPlayingRow(song.get()) < 2 && msSince(start) < 2000)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_GE(getPlayingRow(song.get()), 2) << "the song plays";
    EXPECT_TRUE(stopSong(song.get()));
    EXPECT_EQ(getPlayingRow(song.get()), 0) << "nothing plays once stopped";
    EXPECT_TRUE(freeSong(song.release()));
  }
  closeOutput();
}

} // namespace
