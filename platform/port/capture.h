#pragma once
// The capture backend as one piece: the virtual clock, the virtual sound device and the
// recorder behind Present, installed under the show together with a headless window
// and message boxes on standard error only. The show does not know it is recorded.
//
//   CaptureSession session(encoder, settings);
//   if (error = session.prepare(); !error.empty()) ...;  // before the show
//   session.install();
//   WinMain(...);                                         // the show, on this thread
//   error = session.end();                                // output complete, or removed
//
// Make the session on the thread that runs the show: that thread drives the clock.
#include <cstdint>
#include <string>

#include "platform/port/captureaudio.h"
#include "platform/port/captureencoder.h"
#include "platform/port/capturesink.h"
#include "platform/port/virtualclock.h"
#include "platform/port/window.h"

namespace port {

struct CaptureSettings {
  int framesPerSecond = 60;
  int width = 640;  // of every recorded frame
  int height = 480;
  std::int64_t frameLimit = 0; // 0: until the show ends by itself
};

class CaptureSession {
public:
  CaptureSession(CaptureEncoder& encoder, const CaptureSettings& settings);
  // Uninstalls if still installed. Threads the show left running must have ended (or
  // the session must outlive them: they still refer to its clock).
  ~CaptureSession();
  CaptureSession(const CaptureSession&) = delete;
  CaptureSession& operator=(const CaptureSession&) = delete;

  std::string prepare() { return encoder_.prepare(); }
  void install();
  // Uninstalls everything, lets any thread still on the clock go on real time, and
  // completes or removes the output. Empty on success, else the reason.
  std::string end();

  VirtualClock& clock() { return clock_; }
  CaptureSink& sink() { return sink_; }
  const CaptureSettings& settings() const { return settings_; }

private:
  void uninstall();

  CaptureEncoder& encoder_;
  const CaptureSettings settings_;
  VirtualClock clock_;
  CaptureAudioBackend audio_;
  CaptureSink sink_;
  WindowOptions windowsBefore_;
  bool installed_ = false;
};

} // namespace port
