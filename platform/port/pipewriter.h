#pragma once
// Bytes written to a pipe by a thread of its own, so that the thread handing them over
// never waits on the reader: what the reader has not taken yet waits in a queue (bounded
// in bytes when asked, the hand-over then waiting for room).
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace port {

class PipeWriter {
public:
  // A hand-over that has waited this long for room fails: a reader that takes nothing
  // for so long has hung.
  static constexpr std::chrono::seconds StallLimit{60};
  // A reader that says it has failed is given up on sooner: some stop reading on an
  // error without ending.
  static constexpr std::chrono::seconds FailedReaderLimit{3};
  static constexpr std::chrono::milliseconds StallPoll{100};

  PipeWriter() = default;
  ~PipeWriter(); // ends as close(true)
  PipeWriter(const PipeWriter&) = delete;
  PipeWriter& operator=(const PipeWriter&) = delete;

  // Starts writing to `descriptor`, which it owns from now on. `queueBytes` 0: unbounded;
  // else a hand-over waits while the queue holds that much (one piece is always taken).
  // `readerFailed` (may be empty) tells whether the reader has reported a failure; it is
  // asked from the handing-over thread while that waits for room.
  void start(int descriptor, std::size_t queueBytes, std::function<bool()> readerFailed = {});
  // Queues a copy of the bytes. Empty on success, else why writing failed (the reader
  // has gone, the write failed, or it stalled); nothing is queued after a failure.
  std::string push(const std::uint8_t* bytes, std::size_t size);
  // Writes out what is queued (or drops it when `discard`), closes the descriptor (the
  // reader sees the end) and waits for the thread. Empty, or why writing failed.
  std::string close(bool discard);
  // Why writing failed, empty while it has not.
  std::string error();

private:
  void run();

  int descriptor_ = -1;
  std::size_t queueBytes_ = 0;
  std::function<bool()> failed_;
  std::thread thread_;
  std::mutex mutex_; // guards everything below
  std::condition_variable changed_;
  std::deque<std::vector<std::uint8_t>> queue_;
  std::vector<std::vector<std::uint8_t>> spare_; // written pieces, reused
  std::size_t queued_ = 0;                       // bytes in queue_
  bool ending_ = false;
  std::string error_;
};

} // namespace port
