#include "platform/port/captureaudio.h"

#include <new>

namespace port {
namespace {
constexpr std::uint16_t CaptureBitsPerSample = 16;
constexpr std::uint16_t BitsPerByte = 8;
} // namespace

class CaptureAudioDevice final : public AudioDevice {
public:
  CaptureAudioDevice(CaptureAudioBackend& backend, const AudioFormat& format)
      : backend_(backend), format_(format),
        frameBytes_(format.channels * (format.bitsPerSample / BitsPerByte)) {}
  ~CaptureAudioDevice() override { backend_.deviceGone(this); }

  void playLoop(const std::uint8_t* ring, std::uint32_t bytes) override {
    const std::uint64_t now = backend_.clock_.audioFrames(format_.framesPerSecond);
    std::lock_guard<std::mutex> lock(backend_.mutex_);
    ring_ = bytes >= frameBytes_ ? ring : nullptr;
    ringFrames_ = bytes / frameBytes_;
    startFrame_ = now;
    if (ring_ && !backend_.started_) {
      backend_.started_ = true;
      backend_.format_ = format_;
    }
  }

  void stop() override {
    std::lock_guard<std::mutex> lock(backend_.mutex_);
    ring_ = nullptr;
    ringFrames_ = 0;
  }

  std::uint64_t bytesPlayed() override {
    const std::uint64_t now = backend_.clock_.audioFrames(format_.framesPerSecond);
    std::lock_guard<std::mutex> lock(backend_.mutex_);
    return ring_ ? (now - startFrame_) * frameBytes_ : 0;
  }

  // Under the backend's mutex. Frame `at` of the clock, or silence outside the ring's play.
  void copyFrame(std::uint64_t at, std::int16_t* out) const {
    const std::size_t values = format_.channels;
    if (!ring_ || at < startFrame_) {
      for (std::size_t v = 0; v < values; ++v) out[v] = 0;
      return;
    }
    const std::uint64_t inRing = (at - startFrame_) % ringFrames_;
    const auto* frame = ring_ + inRing * frameBytes_;
    for (std::size_t v = 0; v < values; ++v)
      out[v] = static_cast<std::int16_t>(frame[2 * v] | (frame[2 * v + 1] << BitsPerByte));
  }

  const AudioFormat& format() const { return format_; }

private:
  CaptureAudioBackend& backend_;
  const AudioFormat format_;
  const std::uint32_t frameBytes_;
  const std::uint8_t* ring_ = nullptr; // guarded by the backend's mutex, as below
  std::uint64_t ringFrames_ = 0;
  std::uint64_t startFrame_ = 0;       // clock audio frame at which the ring began
};

CaptureAudioBackend::~CaptureAudioBackend() {
  std::lock_guard<std::mutex> lock(mutex_);
  live_ = nullptr;
}

std::unique_ptr<AudioDevice> CaptureAudioBackend::open(const AudioFormat& format) {
  if (format.bitsPerSample != CaptureBitsPerSample || format.channels == 0 || format.framesPerSecond == 0)
    return nullptr;
  std::lock_guard<std::mutex> lock(mutex_);
  if (live_) return nullptr;
  std::unique_ptr<CaptureAudioDevice> device(new (std::nothrow) CaptureAudioDevice(*this, format));
  live_ = device.get();
  return device;
}

void CaptureAudioBackend::deviceGone(CaptureAudioDevice* device) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (live_ == device) live_ = nullptr;
}

bool CaptureAudioBackend::started() {
  std::lock_guard<std::mutex> lock(mutex_);
  return started_;
}

AudioFormat CaptureAudioBackend::format() {
  std::lock_guard<std::mutex> lock(mutex_);
  return format_;
}

void CaptureAudioBackend::takePlayed(std::uint64_t from, std::uint64_t frames, std::vector<std::int16_t>& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::size_t values = format_.channels;
  const std::size_t first = out.size();
  out.resize(first + frames * values, 0);
  const bool playing = live_ && live_->format().channels == format_.channels &&
                       live_->format().framesPerSecond == format_.framesPerSecond;
  if (!started_ || !playing) return; // silence
  for (std::uint64_t k = 0; k < frames; ++k) live_->copyFrame(from + k, &out[first + k * values]);
}

} // namespace port
