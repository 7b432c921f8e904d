// The song position: position jumps, pattern breaks, pattern loops and the song's end.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "player/render.h"
#include "tests/support/playerkit.h"

namespace {

using Rows = std::vector<std::pair<int, int>>;

// Orders 0..7 over patterns 0..7, each of `rows` rows, 3 channels.
XmModule orderedModule(int rows = 16) {
  XmModule module = constantModule(3, rows);
  module.orders = {0, 1, 2, 3, 4, 5, 6, 7};
  for (int p = 1; p < 8; ++p) module.addPattern(rows);
  return module;
}

void put(XmModule& module, int pattern, int row, int channel, std::uint8_t effect, std::uint8_t param) {
  module.patterns[pattern].at(row, channel) = {0, 0, 0, effect, param};
}

TEST(PositionJumps, JumpThenBreakInOneRowKeepsBoth) {
  XmModule module = orderedModule();
  put(module, 0, 3, 0, 0x0B, 0x05);
  put(module, 0, 3, 2, 0x0D, 0x10);
  SongPtr song = loadModule(module);
  beginSong(song.get());
  EXPECT_EQ(playedRows(song.get(), 5).back(), std::make_pair(5, 10));
}

TEST(PositionJumps, BreakThenJumpInOneRowGoesToRowZero) {
  XmModule module = orderedModule();
  put(module, 0, 3, 0, 0x0D, 0x10);
  put(module, 0, 3, 2, 0x0B, 0x05);
  SongPtr song = loadModule(module);
  beginSong(song.get());
  EXPECT_EQ(playedRows(song.get(), 5).back(), std::make_pair(5, 0));
}

TEST(PositionJumps, BreakAloneGoesToTheNextOrderAtItsRow) {
  XmModule module = orderedModule();
  put(module, 0, 3, 1, 0x0D, 0x10);
  SongPtr song = loadModule(module);
  beginSong(song.get());
  EXPECT_EQ(playedRows(song.get(), 5).back(), std::make_pair(1, 10));
}

TEST(PositionJumps, BreakPastRow63GoesToRowZero) {
  XmModule module = orderedModule(64);
  put(module, 0, 0, 0, 0x0D, 0x70);
  SongPtr song = loadModule(module);
  beginSong(song.get());
  EXPECT_EQ(playedRows(song.get(), 2).back(), std::make_pair(1, 0));
}

TEST(PositionJumps, BreakToARowTheTargetPatternLacksPlaysItsFirstRow) {
  XmModule module = orderedModule(16);
  put(module, 0, 0, 0, 0x0D, 0x40); // row 40 of a 16-row pattern
  SongPtr song = loadModule(module);
  beginSong(song.get());
  const Rows rows = playedRows(song.get(), 3);
  EXPECT_EQ(rows[1], std::make_pair(1, 0));
  EXPECT_EQ(rows[2], std::make_pair(1, 1));
}

TEST(PositionJumps, JumpsPastTheSongLengthGoToOrderZero) {
  XmModule module = orderedModule();
  put(module, 0, 0, 0, 0x0B, 0x20);
  put(module, 0, 1, 0, 0x00, 0x00);
  SongPtr song = loadModule(module);
  beginSong(song.get());
  EXPECT_EQ(playedRows(song.get(), 2).back(), std::make_pair(0, 0));
  XmModule breaking = orderedModule();
  put(breaking, 7, 0, 0, 0x0D, 0x05);
  breaking.restartPosition = 3;
  song = loadModule(breaking);
  beginSong(song.get());
  EXPECT_EQ(playedRows(song.get(), 7 * 16 + 2).back(), std::make_pair(0, 5)); // break wraps to 0, not restart
}

TEST(PositionJumps, TheEndOfTheOrderListContinuesAtTheRestartPosition) {
  XmModule module = orderedModule(4);
  module.restartPosition = 6;
  SongPtr song = loadModule(module);
  beginSong(song.get());
  const Rows rows = playedRows(song.get(), 8 * 4 + 1);
  EXPECT_EQ(rows[31], std::make_pair(7, 3));
  EXPECT_EQ(rows[32], std::make_pair(6, 0));
}

TEST(PatternLoops, LoopPlaysItsRowsThreeTimesThenMovesOn) {
  XmModule module = orderedModule(16);
  put(module, 0, 4, 1, 0x0E, 0x60);
  put(module, 0, 12, 1, 0x0E, 0x62);
  SongPtr song = loadModule(module);
  beginSong(song.get());
  const Rows rows = playedRows(song.get(), 4 + 9 * 3 + 1);
  Rows expected;
  for (int r = 0; r < 4; ++r) expected.emplace_back(0, r);
  for (int pass = 0; pass < 3; ++pass)
    for (int r = 4; r <= 12; ++r) expected.emplace_back(0, r);
  expected.emplace_back(0, 13);
  EXPECT_EQ(rows, expected);
}

TEST(PatternLoops, ABreakInTheSameRowWinsOverTheLoop) {
  XmModule module = orderedModule(16);
  put(module, 0, 2, 0, 0x0E, 0x60);
  put(module, 0, 5, 0, 0x0E, 0x61);
  put(module, 0, 5, 2, 0x0D, 0x08);
  SongPtr song = loadModule(module);
  beginSong(song.get());
  EXPECT_EQ(playedRows(song.get(), 7).back(), std::make_pair(1, 8));
}

TEST(PatternLoops, LoopBackToARowThisPatternLacksPlaysRowZero) {
  // The loop start is set at row 12 of a 16-row pattern; the loop end is in an 8-row one.
  XmModule module = orderedModule(16);
  module.patterns[1] = XmPattern{};
  module.patterns[1].channels = 3;
  module.patterns[1].cells.resize(8 * 3);
  put(module, 0, 12, 0, 0x0E, 0x60);
  put(module, 1, 7, 0, 0x0E, 0x61);
  SongPtr song = loadModule(module);
  beginSong(song.get());
  const Rows rows = playedRows(song.get(), 16 + 8 + 1);
  EXPECT_EQ(rows[23], std::make_pair(1, 7));
  EXPECT_EQ(rows[24], std::make_pair(1, 0));
}

TEST(SongEnd, OfflineRenderFindsTheFirstStepBack) {
  XmModule module = orderedModule(4);
  module.orders = {0, 1, 2};
  module.restartPosition = 1;
  put(module, 1, 0, 0, 0x0E, 0x60); // a pattern loop is not an end
  put(module, 1, 3, 0, 0x0E, 0x61);
  SongPtr song = loadModule(module);
  OfflineRender render;
  ASSERT_TRUE(render.start(song.get()));
  while (render.endFrame() < 0 && render.blocksRendered() < 1000) render.nextBlock();
  // 4 + 8 + 4 rows of 6 ticks of 882 frames, then the restart.
  EXPECT_EQ(render.endFrame(), 16LL * 6 * 882);
}

} // namespace
