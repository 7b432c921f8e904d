#include "platform/port/capturesink.h"

#include "platform/port/user32.h"
#include "platform/port/windowstate.h"

namespace port {
namespace {

// The recorder ends the show as the window's close button would.
void closeShowWindow() {
  detail::WindowRecord* w = detail::liveWindow();
  if (w && !detail::isQueued(w->handle, WM_CLOSE)) PostMessageA(w->handle, WM_CLOSE, 0, 0);
}

} // namespace

CaptureSink::CaptureSink(VirtualClock& clock, CaptureAudioBackend& audio, CaptureEncoder& encoder, int width,
                         int height, std::int64_t frameLimit)
    : clock_(clock), audio_(audio), encoder_(encoder), composer_(width, height), frameLimit_(frameLimit) {}

bool CaptureSink::present(const FrameView& frame) {
  if (stopped_) {
    closeShowWindow();
    return true;
  }
  if (!audio_.started()) return true; // before the music: the start-up picture
  if (!begun_ && !begin()) return true;
  if (!record(frame)) return true;
  ++frames_;
  if (onFrame) onFrame(frames_);
  if (frameLimit_ > 0 && frames_ >= frameLimit_) stop({});
  return true;
}

bool CaptureSink::begin() {
  const AudioFormat sound = audio_.format();
  format_ = CaptureFormat{composer_.width(), composer_.height(), clock_.framesPerSecond(), sound.framesPerSecond,
                          sound.channels};
  begun_ = true;
  audioFrames_ = clock_.audioFrames(format_.audioRate);
  timeEncoder([&] { return encoder_.begin(format_); });
  return !stopped_;
}

// This frame's picture, then the sound played until the next frame's time.
bool CaptureSink::record(const FrameView& frame) {
  if (!clock_.settle()) {
    stop("a thread of the show stopped taking turns with the frames");
    return false;
  }
  const std::uint32_t* pixels = composer_.compose(frame);
  timeEncoder([&] { return encoder_.addFrame(pixels); });
  if (stopped_) return false;
  sound_.clear();
  const bool advanced = clock_.advanceFrame([&] {
    // Taken before the playback thread runs again: it re-renders what was just played.
    const std::uint64_t now = clock_.audioFrames(format_.audioRate);
    audio_.takePlayed(audioFrames_, now - audioFrames_, sound_);
    audioFrames_ = now;
  });
  if (!advanced) {
    stop("a thread of the show stopped taking turns with the frames");
    return false;
  }
  timeEncoder([&] { return encoder_.addAudio(sound_.data(), sound_.size() / format_.audioChannels); });
  return !stopped_;
}

void CaptureSink::timeEncoder(const std::function<std::string()>& call) {
  const auto start = std::chrono::steady_clock::now();
  std::string error = call();
  encoderSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!error.empty()) stop(std::move(error));
}

void CaptureSink::stop(std::string error) {
  stopped_ = true;
  if (error_.empty()) error_ = std::move(error);
  closeShowWindow();
}

std::string CaptureSink::finish() {
  if (!begun_) {
    encoder_.abandon();
    return error_.empty() ? "the show ended before its music started: nothing was recorded" : error_;
  }
  if (failed()) {
    encoder_.abandon();
    return error_;
  }
  std::string error = encoder_.finish();
  if (!error.empty()) error_ = error;
  return error;
}

} // namespace port
