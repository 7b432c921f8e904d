#pragma once
// The recorder behind Present: each presented picture becomes one frame of the
// recording with exactly one frame's worth of the sound the virtual device played, and
// then the virtual clock moves on by one frame (the lock-step of virtualclock.h).
//
// Recording starts with the music: pictures presented before the sound device plays
// (the start-up picture, shown while the content is made) are not recorded and take no
// time. When the recording has all the frames it was asked for, or the output fails,
// the recorder closes the show's window (as its close button would), so that the show
// shuts down as usual; later pictures are not recorded.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/port/backend.h"
#include "platform/port/captureaudio.h"
#include "platform/port/captureencoder.h"
#include "platform/port/captureframe.h"
#include "platform/port/virtualclock.h"

namespace port {

class CaptureSink final : public VideoSink {
public:
  // `frameLimit` 0: record until the show ends.
  CaptureSink(VirtualClock& clock, CaptureAudioBackend& audio, CaptureEncoder& encoder, int width, int height,
              std::int64_t frameLimit);

  bool present(const FrameView& frame) override;

  // Called after each recorded frame with the number recorded so far.
  std::function<void(std::int64_t)> onFrame;

  std::int64_t framesRecorded() const { return frames_; }
  std::uint64_t audioFramesRecorded() const { return audioFrames_; }
  bool begun() const { return begun_; }
  bool failed() const { return !error_.empty(); }
  const std::string& error() const { return error_; }
  // Real time spent handing frames and sound to the encoder (it may be waiting for the
  // encoder), in seconds.
  double encoderSeconds() const { return encoderSeconds_; }

  // Stops the recording with `reason` (it will be removed) and closes the show.
  void cancel(std::string reason) { stop(std::move(reason)); }

  // After the show has ended: completes the output, or removes it when the recording
  // failed or never began. Empty on success, else the reason.
  std::string finish();

private:
  bool begin();
  bool record(const FrameView& frame);
  void stop(std::string error);
  void timeEncoder(const std::function<std::string()>& call);

  VirtualClock& clock_;
  CaptureAudioBackend& audio_;
  CaptureEncoder& encoder_;
  FrameComposer composer_;
  const std::int64_t frameLimit_;
  CaptureFormat format_;
  bool begun_ = false;
  bool stopped_ = false;
  std::string error_;
  std::int64_t frames_ = 0;
  std::uint64_t audioFrames_ = 0; // sound recorded, counted on the clock from its start
  std::vector<std::int16_t> sound_;
  double encoderSeconds_ = 0.0;
};

} // namespace port
