#pragma once
// Where a recording goes: one small interface with a backend per kind of output (an
// ffmpeg process, numbered PNG frames with a WAV file, or a test's own). Calls come from
// the show's main thread, in order: prepare, begin, then frames and sound interleaved,
// then finish or abandon.
#include <cstdint>
#include <string>

namespace port {

struct CaptureFormat {
  int width = 0;                 // pixels of every recorded frame
  int height = 0;
  int framesPerSecond = 0;
  std::uint32_t audioRate = 0;   // audio frames per second
  std::uint16_t audioChannels = 0; // interleaved 16-bit samples
};

class CaptureEncoder {
public:
  virtual ~CaptureEncoder() = default;

  // Before the show starts: checks that the output can be made (tools present, file or
  // directory creatable). Empty on success, else the reason.
  virtual std::string prepare() { return {}; }
  // When the recording starts (with the music). Empty on success, else the reason.
  virtual std::string begin(const CaptureFormat& format) = 0;
  // One frame: format.width x format.height X8R8G8B8 pixels, tightly packed rows, only
  // read during the call.
  virtual std::string addFrame(const std::uint32_t* pixels) = 0;
  // `frames` audio frames of format.audioChannels samples each, only read during the call.
  virtual std::string addAudio(const std::int16_t* samples, std::uint64_t frames) = 0;
  // Completes the output under its final name. Empty on success, else the reason (the
  // partial output is gone then, as after abandon).
  virtual std::string finish() = 0;
  // Stops and removes what was written so far (nothing that looks finished stays).
  virtual void abandon() = 0;
};

} // namespace port
