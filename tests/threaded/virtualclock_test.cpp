// The capture's virtual clock: frame times, audio positions, and threads made with
// CreateThread running in lock-step with the frames, whatever the machine's speed.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/port/backend.h"
#include "platform/port/virtualclock.h"
#include "platform/mmsystem.h"
#include "platform/win32.h"

namespace {

using port::VirtualClock;

TEST(VirtualClock, FrameNReadsItsWholeMillisecondsAndAudioFrames) {
  for (int fps : {1, 7, 30, 60, 144, 240}) {
    VirtualClock clock(fps);
    EXPECT_EQ(clock.nowMs(), 0u);
    for (std::int64_t n = 1; n <= 3 * fps; ++n) {
      ASSERT_TRUE(clock.advanceFrame());
      ASSERT_EQ(clock.frame(), n);
      ASSERT_EQ(clock.nowMs(), static_cast<std::uint32_t>(n * 1000 / fps)) << fps << " fps, frame " << n;
      ASSERT_EQ(clock.audioFrames(44100), static_cast<std::uint64_t>(n * 44100 / fps)) << fps << " fps";
    }
  }
}

TEST(VirtualClock, TheDrivingThreadsSleepMovesTimeOnByItself) {
  VirtualClock clock(60);
  clock.advanceFrame(); // 16 ms
  clock.sleepMs(50);
  EXPECT_EQ(clock.nowMs(), 66u);
  clock.advanceFrame(); // the frame times after it shift by the sleep
  EXPECT_EQ(clock.nowMs(), 2 * 1000 / 60 + 50u);
}

// A thread that notes the clock at each wake-up and sleeps `sleepMs` again, until it has
// woken `wakeUps` times; it works for real time in between, as a slow machine would.
struct Poller {
  std::atomic<std::uint32_t> sleepMs{5};
  int wakeUps = 0;
  std::chrono::milliseconds work{0};
  std::vector<DWORD> seen; // written by the thread only between its Sleeps
  std::atomic<int> runs{0};
  std::atomic<bool> done{false};
};

DWORD WINAPI poll(LPVOID parameter) {
  auto* p = static_cast<Poller*>(parameter);
  for (int i = 0; i < p->wakeUps; ++i) {
    if (p->work.count() > 0) std::this_thread::sleep_for(p->work);
    p->seen.push_back(timeGetTime());
    p->runs.fetch_add(1);
    Sleep(p->sleepMs.load());
  }
  p->done.store(true);
  return 0;
}

class LockStep : public ::testing::Test {
protected:
  void TearDown() override { port::setClock(nullptr); }
};

TEST_F(LockStep, AFrameReturnsOnlyOnceEverySleeperDueHasRunToItsNextSleep) {
  VirtualClock clock(60);
  port::setClock(&clock);
  Poller p;
  p.wakeUps = 40;
  p.work = std::chrono::milliseconds(2); // real time passes; the virtual clock does not care
  HANDLE thread = CreateThread(nullptr, 0, poll, &p, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_TRUE(clock.settle()); // the new thread counts from its creation
  EXPECT_EQ(p.runs.load(), 1);
  // Sleep(5) at 0 ms wakes at the first frame at or past 5 ms: every frame (16 or 17 ms).
  for (int frame = 1; frame < p.wakeUps; ++frame) {
    ASSERT_TRUE(clock.advanceFrame());
    ASSERT_EQ(p.runs.load(), frame + 1) << "frame " << frame;
  }
  ASSERT_TRUE(clock.advanceFrame()); // the last Sleep returns and the thread ends
  ASSERT_TRUE(clock.settle());
  EXPECT_TRUE(p.done.load());
  for (int i = 0; i < p.wakeUps; ++i) EXPECT_EQ(p.seen[i], static_cast<DWORD>(i * 1000 / 60)) << i;
  CloseHandle(thread);
}

TEST_F(LockStep, ALongSleepSkipsTheFramesBeforeItsTime) {
  VirtualClock clock(60);
  port::setClock(&clock);
  Poller p;
  p.sleepMs = 50; // 0 -> 50 ms: woken at frame 3 (50 ms); then 100 ms: frame 6 (100 ms)
  p.wakeUps = 3;
  HANDLE thread = CreateThread(nullptr, 0, poll, &p, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  std::vector<int> runsAfterFrame;
  for (int frame = 1; frame <= 8; ++frame) {
    ASSERT_TRUE(clock.advanceFrame());
    runsAfterFrame.push_back(p.runs.load());
  }
  EXPECT_EQ(runsAfterFrame, (std::vector<int>{1, 1, 2, 2, 2, 3, 3, 3}));
  EXPECT_EQ(p.seen, (std::vector<DWORD>{0, 50, 100}));
  clock.advanceFrame(); // 150 ms: its last Sleep returns and it ends
  clock.settle();
  EXPECT_TRUE(p.done.load());
  CloseHandle(thread);
}

TEST_F(LockStep, TwoRunsOfTheSameThreadsSeeTheSameTimes) {
  auto run = [] {
    VirtualClock clock(30);
    port::setClock(&clock);
    Poller a, b;
    a.sleepMs = 5;
    a.wakeUps = 30;
    b.sleepMs = 45;
    b.wakeUps = 10;
    b.work = std::chrono::milliseconds(1);
    HANDLE ta = CreateThread(nullptr, 0, poll, &a, 0, nullptr);
    HANDLE tb = CreateThread(nullptr, 0, poll, &b, 0, nullptr);
    std::vector<int> runs;
    for (int frame = 0; frame < 40; ++frame) {
      clock.advanceFrame();
      runs.push_back(a.runs.load() * 100 + b.runs.load());
    }
    clock.settle();
    EXPECT_TRUE(a.done.load() && b.done.load());
    port::setClock(nullptr);
    CloseHandle(ta);
    CloseHandle(tb);
    runs.insert(runs.end(), a.seen.begin(), a.seen.end());
    runs.insert(runs.end(), b.seen.begin(), b.seen.end());
    return runs;
  };
  EXPECT_EQ(run(), run());
}

TEST_F(LockStep, TheActionOfAFrameRunsWhileEveryThreadSleeps) {
  VirtualClock clock(60);
  port::setClock(&clock);
  Poller p;
  p.wakeUps = 10;
  HANDLE thread = CreateThread(nullptr, 0, poll, &p, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  clock.settle();
  for (int frame = 1; frame < p.wakeUps; ++frame) {
    int runsSeen = -1;
    std::uint32_t timeSeen = 0;
    ASSERT_TRUE(clock.advanceFrame([&] {
      runsSeen = p.runs.load();
      timeSeen = clock.nowMs();
    }));
    EXPECT_EQ(runsSeen, frame) << "the thread has not yet been woken for this frame";
    EXPECT_EQ(timeSeen, static_cast<std::uint32_t>(frame * 1000 / 60));
    EXPECT_EQ(p.runs.load(), frame + 1);
  }
  clock.advanceFrame();
  clock.settle();
  EXPECT_TRUE(p.done.load());
  CloseHandle(thread);
}

TEST_F(LockStep, ReleaseLetsSleepersGoAndLaterSleepsAreRealOnes) {
  VirtualClock clock(60);
  port::setClock(&clock);
  Poller p;
  p.sleepMs = 1000; // would need 60 frames
  p.wakeUps = 3;
  HANDLE thread = CreateThread(nullptr, 0, poll, &p, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  clock.settle();
  EXPECT_EQ(p.runs.load(), 1);
  p.sleepMs = 1; // its later sleeps, on the real clock
  port::setClock(nullptr);
  clock.release();
  EXPECT_TRUE(clock.released());
  EXPECT_FALSE(clock.advanceFrame()); // time stands still once released
  for (int i = 0; i < 1000 && !p.done.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_EQ(p.runs.load(), 3);
  // The thread tells the clock it made itself under that it has ended, right after.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  CloseHandle(thread);
}

TEST_F(LockStep, AThreadThatEndsWithoutSleepingIsNotWaitedFor) {
  VirtualClock clock(60);
  port::setClock(&clock);
  Poller p; // no wake-ups: returns at once
  HANDLE thread = CreateThread(nullptr, 0, poll, &p, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(clock.settle());
  EXPECT_TRUE(p.done.load());
  EXPECT_TRUE(clock.advanceFrame());
  CloseHandle(thread);
}

} // namespace
