#include "platform/launcher/captureprogress.h"

#include <algorithm>
#include <cmath>

namespace launcher {
namespace {

constexpr std::chrono::milliseconds TerminalInterval{250};
constexpr std::chrono::seconds LogInterval{5};
constexpr double SecondsPerMinute = 60.0;

std::string duration(double seconds) {
  char text[32];
  if (seconds < SecondsPerMinute) {
    std::snprintf(text, sizeof text, "%.0f s", seconds);
  } else {
    const long whole = std::lround(seconds);
    std::snprintf(text, sizeof text, "%ld min %02ld s", whole / 60, whole % 60);
  }
  return text;
}

} // namespace

CaptureProgress::CaptureProgress(std::FILE* out, bool terminal, double expectedSeconds, int framesPerSecond)
    : out_(out), terminal_(terminal), expectedSeconds_(expectedSeconds), framesPerSecond_(framesPerSecond) {}

std::string CaptureProgress::line(std::int64_t frames, double wallSeconds) const {
  const double done = static_cast<double>(frames) / framesPerSecond_;
  const double speed = wallSeconds > 0.0 ? done / wallSeconds : 0.0;
  char text[160];
  int length = std::snprintf(text, sizeof text, "recording: %.1f s of %.1f s, %lld frames", done, expectedSeconds_,
                             static_cast<long long>(frames));
  if (speed > 0.0) {
    const double left = std::max(0.0, expectedSeconds_ - done) / speed;
    std::snprintf(text + length, sizeof text - length, ", %.1fx real time, about %s left", speed,
                  duration(left).c_str());
  }
  return text;
}

double CaptureProgress::wallSeconds() const {
  return started_ ? std::chrono::duration<double>(Clock::now() - start_).count() : 0.0;
}

void CaptureProgress::frameRecorded(std::int64_t frames, Clock::time_point now) {
  latestFrames_ = frames;
  latest_ = now;
  if (!started_) {
    started_ = true;
    start_ = lastPrint_ = now;
    return;
  }
  if (now - lastPrint_ < (terminal_ ? Clock::duration(TerminalInterval) : Clock::duration(LogInterval))) return;
  lastPrint_ = now;
  print(frames, now);
}

void CaptureProgress::print(std::int64_t frames, Clock::time_point now) {
  printedFrames_ = frames;
  const std::string text = line(frames, std::chrono::duration<double>(now - start_).count());
  if (terminal_) {
    const int blank = static_cast<int>(lastLength_ > text.size() ? lastLength_ - text.size() : 0);
    std::fprintf(out_, "\r%s%*s", text.c_str(), blank, "");
    lastLength_ = text.size();
  } else {
    std::fprintf(out_, "%s\n", text.c_str());
  }
  std::fflush(out_);
}

void CaptureProgress::finish() {
  // The line on the terminal ends at the last frame.
  if (terminal_ && started_ && printedFrames_ != latestFrames_) print(latestFrames_, latest_);
  if (terminal_ && lastLength_ > 0) std::fputc('\n', out_);
  lastLength_ = 0;
  std::fflush(out_);
}

} // namespace launcher
