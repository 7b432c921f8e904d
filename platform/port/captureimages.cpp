#include "platform/port/captureimages.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/port/pngfile.h"

namespace port {
namespace {

namespace fs = std::filesystem;

constexpr const char* SoundName = "audio.wav";
constexpr const char* PartialSoundName = "audio.wav.partial";
constexpr const char* FramePrefix = "frame";
constexpr const char* FrameSuffix = ".png";
constexpr int FrameDigits = 6;
constexpr std::size_t QueuedFramesPerWorker = 2; // bounds the memory frames wait in
constexpr int BytesPerPixel = 4;

// frame, at least six digits, .png: what this encoder writes and nothing else.
bool isFrameName(const std::string& name) {
  const std::string prefix = FramePrefix, suffix = FrameSuffix;
  if (name.size() < prefix.size() + FrameDigits + suffix.size()) return false;
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
  const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string described(const fs::path& path, const std::string& reason) {
  return "cannot write " + path.string() + ": " + reason;
}

} // namespace

ImageSequenceEncoder::ImageSequenceEncoder(fs::path directory, unsigned workers)
    : directory_(std::move(directory)),
      workerCount_(workers ? workers : std::max(1u, std::thread::hardware_concurrency())) {}

ImageSequenceEncoder::~ImageSequenceEncoder() {
  if (open_) abandon();
  stopWorkers();
}

std::string ImageSequenceEncoder::frameName(std::int64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "%s%0*lld%s", FramePrefix, FrameDigits, static_cast<long long>(index),
                FrameSuffix);
  return name;
}

std::string ImageSequenceEncoder::prepare() {
  std::error_code error;
  if (!fs::is_directory(directory_, error)) {
    madeDirectory_ = fs::create_directories(directory_, error);
    if (error) return "cannot create the directory " + directory_.string() + ": " + error.message();
  }
  // Proves the directory takes files before the show starts.
  const fs::path probe = directory_ / PartialSoundName;
  std::FILE* file = std::fopen(probe.c_str(), "wb");
  if (!file) return described(probe, std::error_code(errno, std::generic_category()).message());
  std::fclose(file);
  return {};
}

void ImageSequenceEncoder::removeEarlierRecording() {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory_, error)) {
    const std::string name = entry.path().filename().string();
    if (isFrameName(name) || name == SoundName) fs::remove(entry.path(), error);
  }
}

std::string ImageSequenceEncoder::begin(const CaptureFormat& format) {
  format_ = format;
  removeEarlierRecording();
  const fs::path partial = directory_ / PartialSoundName;
  if (std::string error = sound_.open(partial.string(), format.audioRate, format.audioChannels); !error.empty())
    return described(partial, error);
  open_ = true;
  framesQueued_ = 0;
  stopping_ = false;
  error_.clear();
  for (unsigned i = 0; i < workerCount_; ++i) workers_.emplace_back(&ImageSequenceEncoder::work, this);
  return {};
}

std::string ImageSequenceEncoder::addFrame(const std::uint32_t* pixels) {
  const std::size_t count = static_cast<std::size_t>(format_.width) * format_.height;
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return queue_.size() < QueuedFramesPerWorker * workerCount_ || !error_.empty(); });
  if (!error_.empty()) return error_;
  Job job;
  job.index = framesQueued_++;
  if (!spare_.empty()) {
    job.pixels = std::move(spare_.back());
    spare_.pop_back();
  }
  job.pixels.assign(pixels, pixels + count);
  queue_.push_back(std::move(job));
  changed_.notify_all();
  return {};
}

void ImageSequenceEncoder::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return !queue_.empty() || stopping_; });
    if (queue_.empty()) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    lock.unlock();
    const fs::path path = directory_ / frameName(job.index);
    PngPicture picture{reinterpret_cast<const std::uint8_t*>(job.pixels.data()), format_.width, format_.height,
                       static_cast<std::size_t>(format_.width) * BytesPerPixel, PixelBytes::Bgrx};
    const std::string error = writePngFile(path.string(), picture);
    lock.lock();
    if (!error.empty() && error_.empty()) error_ = described(path, error);
    spare_.push_back(std::move(job.pixels));
    changed_.notify_all();
  }
}

std::string ImageSequenceEncoder::addAudio(const std::int16_t* samples, std::uint64_t frames) {
  if (std::string error = sound_.write(samples, frames); !error.empty())
    return described(directory_ / PartialSoundName, error);
  return firstError();
}

std::string ImageSequenceEncoder::firstError() {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

void ImageSequenceEncoder::stopWorkers() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
}

std::string ImageSequenceEncoder::finish() {
  stopWorkers(); // the queue is written out first
  std::string error = firstError();
  if (error.empty()) {
    error = sound_.close();
    if (!error.empty()) error = described(directory_ / PartialSoundName, error);
  }
  std::error_code renamed;
  if (error.empty()) fs::rename(directory_ / PartialSoundName, directory_ / SoundName, renamed);
  if (renamed) error = described(directory_ / SoundName, renamed.message());
  if (!error.empty()) {
    abandon();
    return error;
  }
  open_ = false;
  return {};
}

void ImageSequenceEncoder::abandon() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
  }
  stopWorkers();
  if (open_) sound_.close();
  open_ = false;
  std::error_code error;
  for (std::int64_t i = 0; i < framesQueued_; ++i) fs::remove(directory_ / frameName(i), error);
  framesQueued_ = 0;
  fs::remove(directory_ / PartialSoundName, error);
  if (madeDirectory_ && fs::is_empty(directory_, error)) fs::remove(directory_, error);
}

} // namespace port
