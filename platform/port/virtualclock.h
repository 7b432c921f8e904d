#pragma once
// The capture's clock: time moves only when the recorder moves it, one video frame at a
// time, and every thread that sleeps on it runs in lock-step with the frames. Nothing
// then depends on how fast the machine is or how loaded.
//
// Lock-step: frame n reads floor(n x 1000 / fps) ms. A thread's Sleep waits until the
// clock has passed its wake-up time. advanceFrame moves to the next frame, wakes the
// sleepers that are due and returns only when each of them has run up to its next Sleep
// (or has ended). Threads made with CreateThread count as running from their creation
// until their first Sleep, so a thread that has not yet slept is waited for too.
//
// The driving thread (the one that made the clock: the show's main thread) moves time;
// a Sleep there moves the clock on by itself (the frame times after it shift by as much).
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <thread>

#include "platform/port/backend.h"

namespace port {

class VirtualClock final : public Clock {
public:
  static constexpr int MinFramesPerSecond = 1;
  static constexpr int MaxFramesPerSecond = 240;

  // `framesPerSecond` within MinFramesPerSecond..MaxFramesPerSecond. The calling thread
  // becomes the driving thread.
  explicit VirtualClock(int framesPerSecond);
  // Releases every thread still sleeping on it (see release()) and waits for them to
  // leave it. Uninstall it first; threads it counted must have ended.
  ~VirtualClock() override;
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  std::uint32_t nowMs() override;
  void sleepMs(std::uint32_t ms) override;
  void threadCreated() override;
  void threadStarted() override;
  void threadEnded() override;

  // Waits until every other thread on this clock sleeps or has ended. False when one has
  // not come back within the watchdog time (a thread blocked on something else); the
  // clock is released then.
  bool settle();
  // Moves to the next frame. `atNewTime` (may be empty) runs with the new time set
  // while every other thread still sleeps, before the due ones are woken. Then returns
  // once those have run up to their next Sleep. False as for settle().
  template <typename Action> bool advanceFrame(Action&& atNewTime);
  bool advanceFrame();

  int framesPerSecond() const { return framesPerSecond_; }
  std::int64_t frame();                            // frames advanced so far
  std::uint64_t audioFrames(std::uint32_t rate);   // whole audio frames played by now
  std::uint64_t ticks();                           // 1/(1000 fps) s since the start

  // Lets every thread go for good: sleepers return at once, later sleeps are real ones,
  // and time stands still. For the end of a capture (a thread the show left running
  // keeps going on real time).
  void release();
  bool released();

private:
  struct Sleeper {
    std::uint32_t wakeMs;
    bool woken = false;
  };

  std::uint32_t msAt(std::uint64_t ticks) const;
  bool waitForSleepersLocked(std::unique_lock<std::mutex>& lock);
  bool moveToLocked(std::unique_lock<std::mutex>& lock, std::uint64_t ticks);
  void wakeDueLocked();
  bool advanceBegin(std::unique_lock<std::mutex>& lock, std::uint64_t& ticks);
  bool advanceEnd(std::unique_lock<std::mutex>& lock);
  void sleepAsDriver(std::unique_lock<std::mutex>& lock, std::uint32_t ms);
  void sleepAsParticipant(std::unique_lock<std::mutex>& lock, std::uint32_t ms);

  const int framesPerSecond_;
  const std::thread::id driver_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t ticks_ = 0;        // guarded by mutex_, as everything below
  std::uint64_t driverSleptTicks_ = 0;
  std::int64_t frame_ = 0;
  int running_ = 0;                // threads on this clock that are neither asleep nor ended
  std::list<Sleeper*> sleepers_;   // each lives on its sleeping thread's stack
  int sleepersInside_ = 0;         // threads inside sleepAsParticipant
  bool released_ = false;
};

template <typename Action> bool VirtualClock::advanceFrame(Action&& atNewTime) {
  std::uint64_t next = 0;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!advanceBegin(lock, next)) return false;
    ticks_ = next;
  }
  // Everyone else sleeps and nobody is woken yet: the action has the process to itself.
  atNewTime();
  std::unique_lock<std::mutex> lock(mutex_);
  return advanceEnd(lock);
}

} // namespace port
