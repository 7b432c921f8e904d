#pragma once
// How far a recording has come, on standard error while it runs: seconds of the show
// done of its expected length, frames, speed as a multiple of real time, and the time
// left. On a terminal one line rewritten in place a few times a second; otherwise (a
// log, a pipe) a plain line every few seconds.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace launcher {

class CaptureProgress {
public:
  using Clock = std::chrono::steady_clock;

  // `expectedSeconds`: how long the recording will be, for the time left.
  CaptureProgress(std::FILE* out, bool terminal, double expectedSeconds, int framesPerSecond);

  // After each recorded frame, with the number recorded so far; prints when it is time.
  void frameRecorded(std::int64_t frames) { frameRecorded(frames, Clock::now()); }
  void frameRecorded(std::int64_t frames, Clock::time_point now);
  // Ends the line rewritten in place (before anything else is printed).
  void finish();

  // The report for `frames` recorded in `wallSeconds` of real time.
  std::string line(std::int64_t frames, double wallSeconds) const;
  double wallSeconds() const; // since the first frame

private:
  void print(std::int64_t frames, Clock::time_point now);

  std::FILE* out_;
  bool terminal_;
  double expectedSeconds_;
  int framesPerSecond_;
  bool started_ = false;
  Clock::time_point start_;
  Clock::time_point lastPrint_;
  std::size_t lastLength_ = 0; // of the line on the terminal, to blank what is left of it
  std::int64_t printedFrames_ = 0;
  std::int64_t latestFrames_ = 0;
  Clock::time_point latest_;
};

} // namespace launcher
