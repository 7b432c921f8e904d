// Tick and row timing to the frame through the block renderer, tempo and speed changes.
#include <gtest/gtest.h>

#include <vector>

#include "content/maths.h"
#include "player/player.h"
#include "player/render.h"
#include "player/ring.h"
#include "tests/support/playerkit.h"

namespace {

// Frame at which each tick started, recorded by a handler wrapping the song's own.
struct TickLog {
  static inline std::vector<std::int64_t> starts;
  static inline std::vector<std::int32_t> lengths;
  static inline std::int64_t next = 0;
  static inline TickHandler inner = nullptr;
  static void tick(Song* song) {
    starts.push_back(next);
    inner(song);
    lengths.push_back(song->samplesPerTick);
    next += song->samplesPerTick;
  }
  static void install(Song* song) {
    starts.clear();
    lengths.clear();
    next = 0;
    inner = song->tickHandler;
    song->tickHandler = tick;
  }
};

TEST(Tempo, FramesPerTickFromBpm) {
  configureRing(44100);
  Song song{};
  setBpm(&song, 125);
  EXPECT_EQ(song.samplesPerTick, 882);
  setBpm(&song, 100);
  EXPECT_EQ(song.samplesPerTick, 1102); // 1102.5, to even
  setBpm(&song, 32);
  EXPECT_EQ(song.samplesPerTick, 3445);
  EXPECT_EQ(song.bpm, 32);
}

TEST(Timing, TicksRunAcrossBlockBoundariesToTheFrame) {
  SongPtr song = loadModule(constantModule());
  TickLog::install(song.get());
  OfflineRender render;
  ASSERT_TRUE(render.start(song.get()));
  for (int block = 0; block < 300; ++block) {
    render.nextBlock();
    const std::int64_t end = 884LL * (block + 1);
    // Ticks start at multiples of 882; one starting exactly at the block end waits.
    ASSERT_EQ(static_cast<std::int64_t>(TickLog::starts.size()), (end - 1) / 882 + 1) << block;
  }
  for (std::size_t k = 0; k < TickLog::starts.size(); ++k) ASSERT_EQ(TickLog::starts[k], 882 * static_cast<std::int64_t>(k));
}

TEST(Timing, BlockRecordsHoldTheRowReachedAtTheBlockEnd) {
  SongPtr song = loadModule(constantModule(1, 64));
  OfflineRender render;
  ASSERT_TRUE(render.start(song.get()));
  const std::int64_t rowFrames = 6 * 882;
  for (int block = 0; block < 500; ++block) {
    render.nextBlock();
    const std::int64_t end = 884LL * (block + 1);
    const BlockPosition p = render.lastPosition();
    ASSERT_EQ(p.row, ((end - 1) / rowFrames) % 64) << block;
    ASSERT_EQ(p.order, 0);
  }
}

TEST(Timing, ElapsedMillisecondsAreRoundedPerMixedPiece) {
  SongPtr song = loadModule(constantModule());
  OfflineRender render;
  ASSERT_TRUE(render.start(song.get()));
  std::int64_t expected = 0, frame = 0;
  std::vector<std::int32_t> totals;
  for (int block = 0; block < 200; ++block) {
    render.nextBlock();
    // The block's pieces are cut at tick starts (multiples of 882).
    const std::int64_t end = frame + 884;
    while (frame < end) {
      const std::int64_t cut = std::min(end, (frame / 882 + 1) * 882);
      const float ms = static_cast<float>(cut - frame) * (1.0f / 44100.0f) * 1000.0f;
      expected += roundToInt(ms);
      frame = cut;
    }
    ASSERT_EQ(render.lastPosition().elapsedMs, expected) << block;
    totals.push_back(render.lastPosition().elapsedMs);
  }
  // Block 10 is cut 862 + 22 frames (20 + 0 ms), block 11 860 + 24 (20 + 1 ms).
  EXPECT_EQ(totals[10] - totals[9], 20);
  EXPECT_EQ(totals[11] - totals[10], 21);
}

TEST(Timing, SpeedCommandSetsTicksPerRowFromThatRow) {
  XmModule module = constantModule(1, 8);
  module.patterns[0].at(2, 0) = {0, 0, 0, 0x0F, 0x03};
  SongPtr song = loadModule(module);
  beginSong(song.get());
  const auto rows = playedRows(song.get(), 6);
  // Rows 0 and 1 take 6 ticks, from row 2 on 3 ticks: count ticks between row starts.
  beginSong(song.get());
  std::vector<int> rowTicks;
  int ticks = 0;
  for (int t = 0; t < 6 + 6 + 3 * 4; ++t) {
    if (song->tick == 0 && t > 0) {
      rowTicks.push_back(ticks);
      ticks = 0;
    }
    runTicks(song.get(), 1);
    ++ticks;
  }
  EXPECT_EQ(rowTicks, (std::vector<int>{6, 6, 3, 3, 3}));
  EXPECT_EQ(rows.back().second, 5);
}

TEST(Timing, TempoCommandChangesTheTickLengthFromItsOwnTick) {
  XmModule module = constantModule(1, 8);
  module.patterns[0].at(1, 0) = {0, 0, 0, 0x0F, 0x20}; // 32 BPM
  SongPtr song = loadModule(module);
  TickLog::install(song.get());
  OfflineRender render;
  ASSERT_TRUE(render.start(song.get()));
  while (TickLog::lengths.size() < 9) render.nextBlock();
  for (int k = 0; k < 6; ++k) EXPECT_EQ(TickLog::lengths[k], 882) << k;
  EXPECT_EQ(TickLog::lengths[6], 3445); // row 1's first tick
  EXPECT_EQ(TickLog::starts[8], 6 * 882 + 2 * 3445);
}

TEST(Timing, SpeedZeroMakesEveryTickARow) {
  XmModule module = constantModule(1, 16);
  module.patterns[0].at(0, 0) = {0, 0, 0, 0x0F, 0x00};
  SongPtr song = loadModule(module);
  beginSong(song.get());
  runTicks(song.get(), 1);
  for (int row = 1; row < 8; ++row) {
    runTicks(song.get(), 1);
    EXPECT_EQ(song->row, row);
  }
}

TEST(Timing, PatternDelayLengthensTheRowByWholeRows) {
  XmModule module = constantModule(1, 8);
  module.patterns[0].at(1, 0) = {0, 0, 0, 0x0E, 0xE2}; // EE2 at speed 6: 18 ticks
  SongPtr song = loadModule(module);
  beginSong(song.get());
  runTicks(song.get(), 6); // row 0
  runTicks(song.get(), 1);
  EXPECT_EQ(song->row, 1);
  runTicks(song.get(), 17);
  EXPECT_EQ(song->row, 1);
  EXPECT_EQ(song->tick, 0);
  runTicks(song.get(), 1);
  EXPECT_EQ(song->row, 2);
}

} // namespace
