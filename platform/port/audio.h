#pragma once
// The sound device behind the wave-out names: plays one caller-owned PCM ring in an
// endless loop and counts the bytes it has consumed. The SDL backend is the default; a
// capture backend can install a virtual device driven by a virtual clock instead.
#include <cstdint>
#include <memory>

namespace port {

struct AudioFormat {
  std::uint32_t framesPerSecond = 0;
  std::uint16_t channels = 0;
  std::uint16_t bitsPerSample = 0; // signed little-endian PCM
};

class AudioDevice {
public:
  // Stops playback; the ring is no longer read once the destructor returns.
  virtual ~AudioDevice() = default;
  // Plays `bytes` bytes from `ring` over and over, starting at its first byte. The ring
  // stays owned by the caller and must stay valid until stop() or destruction. The
  // played-byte count restarts from 0.
  virtual void playLoop(const std::uint8_t* ring, std::uint32_t bytes) = 0;
  // Ends playback (silence follows); the ring is no longer read once this returns.
  virtual void stop() = 0;
  // Bytes consumed since the last playLoop; 0 while stopped. Any thread may ask.
  virtual std::uint64_t bytesPlayed() = 0;
};

class AudioBackend {
public:
  virtual ~AudioBackend() = default;
  // A running device in the given format, or null when none can be opened.
  virtual std::unique_ptr<AudioDevice> open(const AudioFormat& format) = 0;
};

AudioBackend& audioBackend();
void setAudioBackend(AudioBackend* backend); // nullptr restores the SDL backend

} // namespace port
