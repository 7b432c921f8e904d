#pragma once
// A recording as files in a directory: frame000000.png, frame000001.png, ... (compressed
// PNG through libpng, written by worker threads while the show renders on) and
// audio.wav. audio.wav appears last, under its name only once everything is complete;
// a recording that fails removes the frames it wrote. An earlier recording's frames and
// audio.wav in the same directory are removed when this one begins.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/port/captureencoder.h"
#include "platform/port/wavfile.h"

namespace port {

class ImageSequenceEncoder final : public CaptureEncoder {
public:
  // `workers` 0: one per processor.
  explicit ImageSequenceEncoder(std::filesystem::path directory, unsigned workers = 0);
  ~ImageSequenceEncoder() override; // abandons an unfinished recording

  std::string prepare() override;
  std::string begin(const CaptureFormat& format) override;
  std::string addFrame(const std::uint32_t* pixels) override;
  std::string addAudio(const std::int16_t* samples, std::uint64_t frames) override;
  std::string finish() override;
  void abandon() override;

  static std::string frameName(std::int64_t index); // "frame000042.png"

private:
  struct Job {
    std::int64_t index = 0;
    std::vector<std::uint32_t> pixels;
  };
  void work();
  void stopWorkers();
  std::string firstError();
  void removeEarlierRecording();

  const std::filesystem::path directory_;
  const unsigned workerCount_;
  bool madeDirectory_ = false;
  bool open_ = false;
  CaptureFormat format_;
  WavFile sound_;
  std::int64_t framesQueued_ = 0;

  std::mutex mutex_; // guards the queue and everything below it
  std::condition_variable changed_;
  std::deque<Job> queue_;
  std::vector<std::vector<std::uint32_t>> spare_; // buffers to reuse
  bool stopping_ = false;
  std::string error_;
  std::vector<std::thread> workers_;
};

} // namespace port
