#include "platform/port/virtualclock.h"

#include <algorithm>
#include <chrono>

namespace port {
namespace {

constexpr std::uint64_t MsPerSecond = 1000;
// How long a thread may take to come back to its Sleep before the capture gives up on it:
// far beyond any block render, even in a sanitizer build.
constexpr std::chrono::seconds WatchdogTime{120};

// The clock this thread sleeps on in lock-step, once it has slept there or was made
// while it was installed.
thread_local const VirtualClock* participantOf = nullptr;

} // namespace

VirtualClock::VirtualClock(int framesPerSecond)
    : framesPerSecond_(std::clamp(framesPerSecond, MinFramesPerSecond, MaxFramesPerSecond)),
      driver_(std::this_thread::get_id()) {}

VirtualClock::~VirtualClock() {
  std::unique_lock<std::mutex> lock(mutex_);
  released_ = true;
  changed_.notify_all();
  changed_.wait(lock, [&] { return sleepersInside_ == 0; }); // they still use the mutex
}

std::uint32_t VirtualClock::msAt(std::uint64_t ticks) const {
  return static_cast<std::uint32_t>(ticks / static_cast<std::uint64_t>(framesPerSecond_));
}

std::uint32_t VirtualClock::nowMs() {
  std::lock_guard<std::mutex> lock(mutex_);
  return msAt(ticks_);
}

std::int64_t VirtualClock::frame() {
  std::lock_guard<std::mutex> lock(mutex_);
  return frame_;
}

std::uint64_t VirtualClock::ticks() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ticks_;
}

std::uint64_t VirtualClock::audioFrames(std::uint32_t rate) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ticks_ * rate / (MsPerSecond * static_cast<std::uint64_t>(framesPerSecond_));
}

void VirtualClock::threadCreated() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++running_;
}

void VirtualClock::threadStarted() { participantOf = this; }

void VirtualClock::threadEnded() {
  std::lock_guard<std::mutex> lock(mutex_);
  --running_;
  changed_.notify_all();
}

void VirtualClock::sleepMs(std::uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (released_) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  } else if (std::this_thread::get_id() == driver_) {
    sleepAsDriver(lock, ms);
  } else {
    sleepAsParticipant(lock, ms);
  }
}

// Nobody else moves time, so the driver's sleep is time passing for everyone else.
void VirtualClock::sleepAsDriver(std::unique_lock<std::mutex>& lock, std::uint32_t ms) {
  const std::uint64_t step = std::uint64_t{ms} * static_cast<std::uint64_t>(framesPerSecond_);
  if (!waitForSleepersLocked(lock)) return;
  driverSleptTicks_ += step;
  moveToLocked(lock, ticks_ + step);
}

void VirtualClock::sleepAsParticipant(std::unique_lock<std::mutex>& lock, std::uint32_t ms) {
  const std::uint32_t wakeMs = msAt(ticks_) + ms;
  if (wakeMs <= msAt(ticks_)) return; // Sleep(0): the time has passed already
  // A thread the clock did not see made counts from its first sleep on.
  if (participantOf == this) --running_;
  participantOf = this;
  Sleeper self{wakeMs};
  sleepers_.push_back(&self);
  ++sleepersInside_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return self.woken || released_; });
  if (!self.woken) sleepers_.remove(&self); // released: nobody counted it running again
  --sleepersInside_;
  changed_.notify_all();
}

bool VirtualClock::settle() {
  std::unique_lock<std::mutex> lock(mutex_);
  return waitForSleepersLocked(lock);
}

bool VirtualClock::advanceFrame() {
  return advanceFrame([] {});
}

bool VirtualClock::advanceBegin(std::unique_lock<std::mutex>& lock, std::uint64_t& ticks) {
  if (!waitForSleepersLocked(lock)) return false;
  ++frame_;
  ticks = static_cast<std::uint64_t>(frame_) * MsPerSecond + driverSleptTicks_;
  return true;
}

bool VirtualClock::advanceEnd(std::unique_lock<std::mutex>& lock) {
  wakeDueLocked();
  return waitForSleepersLocked(lock);
}

bool VirtualClock::moveToLocked(std::unique_lock<std::mutex>& lock, std::uint64_t ticks) {
  ticks_ = ticks;
  wakeDueLocked();
  return waitForSleepersLocked(lock);
}

void VirtualClock::wakeDueLocked() {
  const std::uint32_t now = msAt(ticks_);
  for (auto it = sleepers_.begin(); it != sleepers_.end();) {
    if ((*it)->wakeMs > now) {
      ++it;
      continue;
    }
    (*it)->woken = true;
    ++running_; // until it is back at its next Sleep
    it = sleepers_.erase(it);
  }
  changed_.notify_all();
}

bool VirtualClock::waitForSleepersLocked(std::unique_lock<std::mutex>& lock) {
  if (released_) return false;
  const bool settled = changed_.wait_for(lock, WatchdogTime, [&] { return running_ <= 0 || released_; });
  if (settled && !released_) return true;
  released_ = true;
  changed_.notify_all();
  return false;
}

void VirtualClock::release() {
  std::lock_guard<std::mutex> lock(mutex_);
  released_ = true;
  changed_.notify_all();
}

bool VirtualClock::released() {
  std::lock_guard<std::mutex> lock(mutex_);
  return released_;
}

} // namespace port
