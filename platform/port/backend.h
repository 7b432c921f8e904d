#pragma once
// The seams between the Win32/Direct3D/winmm names and what backs them. The show never
// sees these; the launcher and the tests pick the backends (window, capture, test).
#include <cstdint>

namespace port {

// Time source behind timeGetTime and Sleep (and, through the audio device, the
// wave-out play position). The default is the real monotonic clock.
class Clock {
public:
  virtual ~Clock() = default;
  virtual std::uint32_t nowMs() = 0;          // milliseconds since process start
  virtual void sleepMs(std::uint32_t ms) = 0; // returns once the clock has passed now + ms

  // Threads made with CreateThread, for a clock that waits for its threads: created is
  // called on the creating thread before the new one runs, started on the new thread
  // first thing, ended on it once its start routine has returned (or on the creating
  // thread when creation failed). All three go to the clock that was installed at the
  // creation, which must outlive the thread. The real clock ignores them.
  virtual void threadCreated() {}
  virtual void threadStarted() {}
  virtual void threadEnded() {}
};

Clock& clock();
void setClock(Clock* clock); // nullptr restores the real clock

// A finished back buffer: X8R8G8B8 pixels, pitch in pixels.
struct FrameView {
  const std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;
};

// Where Present sends its pictures: the SDL window, a capture encoder, or nothing.
class VideoSink {
public:
  virtual ~VideoSink() = default;
  virtual bool present(const FrameView& frame) = 0; // false makes Present fail
};

VideoSink* videoSink();
void setVideoSink(VideoSink* sink); // nullptr: pictures go nowhere (headless tests)

} // namespace port
