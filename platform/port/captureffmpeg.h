#pragma once
// A recording encoded by an ffmpeg process: raw frames on one pipe, raw sound on
// another, each written by a thread of its own, ffmpeg's messages kept from a third.
// ffmpeg opens its inputs one after the other and reads some sound before it takes more
// than the first frames; so the show must be able to go on for a while with the frames
// not taken yet: up to VideoQueueSeconds of them wait in memory (the sound is small and
// waits unbounded). The video is written under a name that says it
// is partial (show.partial.mp4 beside show.mp4) and renamed when ffmpeg has finished
// it; a recording that fails removes it.
#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/port/captureencoder.h"
#include "platform/port/pipewriter.h"

namespace port {

enum class VideoKind {
  Mp4, // H.264 in yuv420p at constant quality, AAC sound: for watching and sharing
  Mkv, // lossless FFV1 in RGB, FLAC sound: for editing
};

class FfmpegEncoder final : public CaptureEncoder {
public:
  // `program`: the ffmpeg to run, found on PATH when it has no slash.
  FfmpegEncoder(std::filesystem::path output, VideoKind kind, std::string program = "ffmpeg");
  ~FfmpegEncoder() override; // abandons an unfinished recording

  std::string prepare() override;
  std::string begin(const CaptureFormat& format) override;
  std::string addFrame(const std::uint32_t* pixels) override;
  std::string addAudio(const std::int16_t* samples, std::uint64_t frames) override;
  std::string finish() override;
  void abandon() override;

  const std::filesystem::path& partialPath() const { return partial_; }
  // The command line for `format` (for the tests and for people reading the source).
  std::vector<std::string> arguments(const CaptureFormat& format) const;

private:
  std::string spawn(const CaptureFormat& format);
  void readLog();
  enum class Ending {
    Drain,     // the recording is complete: ffmpeg takes everything queued and finishes
    Failed,    // ffmpeg stopped reading: it gets a moment to exit by itself, then is killed
    Abandoned, // killed at once, whatever is queued dropped
  };
  // Closes the pipes, waits for ffmpeg and the threads; ffmpeg's result as a reason
  // (empty when it ended well).
  std::string reap(Ending ending);
  std::string ffmpegEnded(const std::string& what);
  std::string lastLogLine();

  const std::filesystem::path output_;
  const std::filesystem::path partial_;
  const VideoKind kind_;
  const std::string program_;
  std::size_t frameBytes_ = 0;
  std::size_t soundFrameBytes_ = 0;
  pid_t child_ = -1;
  PipeWriter video_;
  PipeWriter sound_;
  int logPipe_ = -1;
  bool partialExists_ = false;
  std::thread logReader_;

  std::mutex mutex_; // guards log_
  std::string log_;
};

// Whether `program` can be run: on PATH, or as given when it has a slash.
bool programAvailable(const std::string& program);

} // namespace port
