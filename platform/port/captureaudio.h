#pragma once
// The capture's sound device: plays nothing aloud. Its play position is the virtual
// clock's time in whole audio frames since the ring was queued, and the recorder takes
// from it exactly what it played, frame by frame of video.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/port/audio.h"
#include "platform/port/virtualclock.h"

namespace port {

class CaptureAudioDevice;

class CaptureAudioBackend final : public AudioBackend {
public:
  explicit CaptureAudioBackend(VirtualClock& clock) : clock_(clock) {}
  ~CaptureAudioBackend() override;

  // 16-bit PCM only; one device at a time (a second open while one is live is refused).
  std::unique_ptr<AudioDevice> open(const AudioFormat& format) override;

  // True once a device has started its ring: the music, and so the recording, began.
  bool started();
  // The format of the device that started first.
  AudioFormat format();
  // Appends to `out` what was played from audio frame `from` (counted on the clock from
  // its start) for `frames` frames: the ring's bytes while a device of the first
  // format plays it, silence otherwise. Interleaved 16-bit samples. Only while the clock
  // has settled (no thread writes the ring then).
  void takePlayed(std::uint64_t from, std::uint64_t frames, std::vector<std::int16_t>& out);

private:
  friend class CaptureAudioDevice;
  void deviceGone(CaptureAudioDevice* device);

  VirtualClock& clock_;
  std::mutex mutex_; // guards everything below and the live device's ring fields
  CaptureAudioDevice* live_ = nullptr;
  bool started_ = false;
  AudioFormat format_;
};

} // namespace port
