#pragma once
// An audio backend for tests: devices that play nothing and report whatever play position
// the test sets, and that log what the wave-out layer asked of them.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/port/audio.h"

class FakeAudioBackend final : public port::AudioBackend {
public:
  FakeAudioBackend() { port::setAudioBackend(this); }
  ~FakeAudioBackend() override { port::setAudioBackend(nullptr); }

  std::unique_ptr<port::AudioDevice> open(const port::AudioFormat& format) override;

  // Bytes played that every device of this backend reports.
  void setBytesPlayed(std::uint64_t bytes) { played_.store(bytes, std::memory_order_release); }
  // "open", "play <bytes>", "stop", "close", in order.
  std::vector<std::string> calls();
  const std::uint8_t* ring() const { return ring_.load(std::memory_order_acquire); }
  port::AudioFormat lastFormat() const;

private:
  friend class FakeAudioDevice;
  void log(const std::string& call);
  std::atomic<std::uint64_t> played_{0};
  std::atomic<const std::uint8_t*> ring_{nullptr};
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  port::AudioFormat format_;
};
