#include "platform/port/backend.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace port {
namespace {

class RealClock final : public Clock {
public:
  std::uint32_t nowMs() override {
    auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
  }
  void sleepMs(std::uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }

private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Never destroyed: a detached thread that ends while the process exits still tells its
// clock so (threads.cpp).
RealClock& realClock() {
  static RealClock& clock = *new RealClock;
  return clock;
}

// Touch the real clock during static initialisation so its epoch is process start.
[[maybe_unused]] const bool epochFixed = (realClock(), true);

std::atomic<Clock*> activeClock{nullptr};
std::atomic<VideoSink*> activeSink{nullptr};

} // namespace

Clock& clock() {
  Clock* c = activeClock.load(std::memory_order_acquire);
  return c ? *c : realClock();
}

void setClock(Clock* c) { activeClock.store(c, std::memory_order_release); }

VideoSink* videoSink() { return activeSink.load(std::memory_order_acquire); }

void setVideoSink(VideoSink* sink) { activeSink.store(sink, std::memory_order_release); }

} // namespace port
