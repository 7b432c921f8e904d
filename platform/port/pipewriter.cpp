#include "platform/port/pipewriter.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace port {
namespace {

// Writes all of it; false with errno set when the reader has gone or the write failed.
bool writeAll(int descriptor, const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

} // namespace

PipeWriter::~PipeWriter() { close(true); }

void PipeWriter::start(int descriptor, std::size_t queueBytes, std::function<bool()> readerFailed) {
  close(true);
  std::lock_guard<std::mutex> lock(mutex_);
  failed_ = std::move(readerFailed);
  descriptor_ = descriptor;
  queueBytes_ = queueBytes;
  ending_ = false;
  error_.clear();
  thread_ = std::thread(&PipeWriter::run, this);
}

std::string PipeWriter::push(const std::uint8_t* bytes, std::size_t size) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto hasRoom = [&] {
    return !error_.empty() || queue_.empty() || queueBytes_ == 0 || queued_ + size <= queueBytes_;
  };
  for (auto waited = std::chrono::milliseconds(0); !hasRoom(); waited += StallPoll) {
    if (changed_.wait_for(lock, StallPoll, hasRoom)) break;
    if (waited >= StallLimit) {
      error_ = "the reader took nothing for " + std::to_string(StallLimit.count()) + " s";
    } else if (waited >= FailedReaderLimit && failed_ && failed_()) {
      error_ = "the reader has failed and takes nothing more";
    }
  }
  if (!error_.empty()) return error_;
  if (ending_ || descriptor_ < 0) return "not writing";
  std::vector<std::uint8_t> piece;
  if (!spare_.empty()) {
    piece = std::move(spare_.back());
    spare_.pop_back();
  }
  piece.assign(bytes, bytes + size);
  queued_ += size;
  queue_.push_back(std::move(piece));
  changed_.notify_all();
  return {};
}

void PipeWriter::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return !queue_.empty() || ending_; });
    if (queue_.empty()) break;
    std::vector<std::uint8_t> piece = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    const bool written = writeAll(descriptor_, piece.data(), piece.size());
    const int failure = errno;
    lock.lock();
    queued_ = queued_ >= piece.size() ? queued_ - piece.size() : 0;
    spare_.push_back(std::move(piece));
    if (!written) {
      error_ = std::error_code(failure, std::generic_category()).message();
      queue_.clear();
      queued_ = 0;
      changed_.notify_all();
      break;
    }
    changed_.notify_all();
  }
}

std::string PipeWriter::close(bool discard) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ending_ = true;
    if (discard) {
      for (const std::vector<std::uint8_t>& piece : queue_) queued_ -= piece.size();
      queue_.clear(); // the piece being written is the thread's own until it returns
    }
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  return error_;
}

std::string PipeWriter::error() {
  std::lock_guard<std::mutex> lock(mutex_);
  return error_;
}

} // namespace port
