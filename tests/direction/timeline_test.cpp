// The song-driven timeline: the state for every order position, the quit rule, and the
// sync points firing from the heard position, one per frame.
#include "direction/demo.h"
#include "direction/globals.h"
#include "direction/synctable.h"
#include "direction/timeline.h"
#include "platform/port/testhooks.h"
#include "shell/globals.h"
#include "tests/direction/showframe.h"

namespace {

constexpr int Unchanged = 99; // a state no order position gives

TEST(TimelineState, EveryOrderPosition) {
  const int expected[32] = {0, 1, 1, 1, 1, 3, 2, 3, 2, 3, 2, 3, 2, 4, 3, 4,
                            3, 4, 4, 5, 4, 5, 4, 5, 4, 5, 4, 5, Unchanged, 6, 6, Unchanged};
  for (int order = 0; order < 32; ++order) EXPECT_EQ(timelineStateFor(order, Unchanged), expected[order]) << "order " << order;
  EXPECT_EQ(timelineStateFor(-1, Unchanged), Unchanged);
  EXPECT_EQ(timelineStateFor(255, Unchanged), Unchanged);
}

TEST(TimelineState, OnlyOrder28KeepsAForcedState) {
  // The state of order 27 carries on, or whatever F1 to F5 forced.
  EXPECT_EQ(timelineStateFor(28, 5), 5);
  EXPECT_EQ(timelineStateFor(28, 2), 2);
  EXPECT_EQ(timelineStateFor(27, 2), 5);
  EXPECT_EQ(timelineStateFor(29, 2), 6);
}

TEST(SyncTable, StrictlyIncreasingPositionsFromTheFirstRowToTheLastOrder) {
  EXPECT_EQ(syncTable[0].order, 0);
  EXPECT_EQ(syncTable[0].row, 0);
  EXPECT_EQ(syncTable[SyncPointCount - 1].order, 29);
  EXPECT_EQ(syncTable[SyncPointCount - 1].row, 0);
  for (int i = 1; i < SyncPointCount; ++i)
    EXPECT_LT(syncTable[i - 1].order * 64 + syncTable[i - 1].row, syncTable[i].order * 64 + syncTable[i].row) << i;
  for (const SyncPoint& p : syncTable) {
    EXPECT_NE(p.order, 2);
    EXPECT_NE(p.order, 22);
  }
}

using Timeline = ShowFrame;

TEST_F(Timeline, FirstFrameFiresTheFirstSyncPointAndFlashesAtFullStrength) {
  clock.set(5000);
  EXPECT_EQ(heardOrder(), 0);
  EXPECT_EQ(heardRow(), 0);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(timelineState, 0);
  EXPECT_EQ(syncIndex, 1);
  EXPECT_EQ(lastSyncPosition, 0);
  EXPECT_EQ(flashDeadline, 6300u);
  EXPECT_EQ(flashLevel, 260);
  EXPECT_EQ(port::lastPresent().presentCount, 2u) << "the white start-up frame, then this one";
}

TEST_F(Timeline, SecondSyncPointFiresWhenRowFiveIsHeard) {
  clock.set(1000);
  ASSERT_EQ(renderFrame(), S_OK);
  playTo(0, 4);
  clock.set(1400);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, 1) << "row 4 is not yet row 5";
  EXPECT_EQ(flashDeadline, 2300u);
  playTo(0, 5);
  EXPECT_EQ(heardRow(), 5);
  clock.set(1500);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, 2);
  EXPECT_EQ(lastSyncPosition, 5);
  EXPECT_EQ(flashDeadline, 2800u) << "the flash restarts at full strength";
  EXPECT_EQ(flashLevel, 260);
}

TEST_F(Timeline, PointsReachedTogetherFireOnConsecutiveFrames) {
  playTo(0, 6); // entries 0 (row 0) and 1 (row 5) both reached before the first frame
  clock.set(2000);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, 1);
  clock.set(2016);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, 2);
  EXPECT_EQ(flashDeadline, 3316u);
  clock.set(2032);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, 2) << "order 1 row 0 is not reached";
}

TEST_F(Timeline, RowAndOrderAreComparedEachOnItsOwn) {
  // At order 1 row 0 both order-0 entries are behind the song, but entry 1 wants row 5:
  // it waits for a row of at least 5, in whichever order.
  clock.set(100);
  ASSERT_EQ(renderFrame(), S_OK); // entry 0
  playTo(1, 0);
  ASSERT_EQ(heardRow(), 0);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, 1);
  playTo(1, 5);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, 2) << "entry 1 (order 0, row 5) fires at order 1 row 5";
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, 3) << "entry 2 (order 1, row 0) fires on the next frame";
}

TEST_F(Timeline, StateFollowsTheHeardOrderAndQuitsFromRow51OfTheLastOrder) {
  playTo(5, 0);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(timelineState, 3);
  playTo(6, 0);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(timelineState, 2);
  playTo(28, 0);
  timelineState = 1; // as F2 would
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(timelineState, 1) << "order 28 keeps a forced state";
  EXPECT_EQ(quitRequests(), 0);
  playTo(29, 50);
  ASSERT_EQ(heardRow(), 50);
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(timelineState, 6);
  EXPECT_EQ(quitRequests(), 0);
  playTo(29, 51);
  const std::uint64_t presented = port::lastPresent().presentCount;
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(quitRequests(), 1);
  EXPECT_EQ(port::lastPresent().presentCount, presented + 1) << "the frame is still presented";
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(quitRequests(), 1) << "asked again on every frame past the end";
}

TEST_F(Timeline, EachSyncPointFiresWhereTheSongReachesItAndNoneAfterTheLast) {
  for (int i = 0; i < SyncPointCount; ++i) {
    playTo(syncTable[i].order, syncTable[i].row);
    ASSERT_FALSE(HasFatalFailure());
    clock.advance(20);
    ASSERT_EQ(renderFrame(), S_OK);
    ASSERT_EQ(syncIndex, i + 1) << "entry " << i << " at order " << heardOrder() << " row " << heardRow();
    EXPECT_EQ(flashDeadline, clock.nowMs() + 1300) << "entry " << i;
  }
  EXPECT_EQ(lastSyncPosition, 29 * 64);
  const DWORD lastDeadline = flashDeadline;
  clock.advance(5000);
  playTo(29, 40);
  for (int frame = 0; frame < 3; ++frame) ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(syncIndex, SyncPointCount);
  EXPECT_EQ(flashDeadline, lastDeadline);
}

TEST_F(Timeline, FlashFadesWithTheClockAndFlashLevelKeepsItsLastValue) {
  clock.set(10000);
  ASSERT_EQ(renderFrame(), S_OK); // fires: deadline 11300
  ASSERT_EQ(flashDeadline, 11300u);
  struct Step {
    DWORD now;
    std::int32_t level;
  };
  for (const Step& s : {Step{10005, 259}, Step{10650, 130}, Step{11295, 1}, Step{11296, 0}, Step{11299, 0}}) {
    clock.set(s.now);
    ASSERT_EQ(renderFrame(), S_OK);
    EXPECT_EQ(flashLevel, s.level) << "at " << s.now;
  }
  clock.set(11300); // the deadline: no flash is drawn, the level stays
  flashLevel = 77;
  ASSERT_EQ(renderFrame(), S_OK);
  EXPECT_EQ(flashLevel, 77);
}

TEST_F(Timeline, FailingDeviceStepsFailTheFrame) {
  for (port::FailPoint p : {port::FailPoint::Clear, port::FailPoint::BeginScene, port::FailPoint::Present}) {
    port::setFailure(p, true);
    EXPECT_EQ(renderFrame(), E_FAIL);
    port::setFailure(p, false);
  }
  EXPECT_EQ(renderFrame(), S_OK);
}

} // namespace
