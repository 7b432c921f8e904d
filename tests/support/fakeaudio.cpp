#include "tests/support/fakeaudio.h"

class FakeAudioDevice final : public port::AudioDevice {
public:
  explicit FakeAudioDevice(FakeAudioBackend& backend) : backend_(backend) { backend_.log("open"); }
  ~FakeAudioDevice() override { backend_.log("close"); }
  void playLoop(const std::uint8_t* ring, std::uint32_t bytes) override {
    backend_.ring_.store(ring, std::memory_order_release);
    playing_ = true;
    backend_.log("play " + std::to_string(bytes));
  }
  void stop() override {
    playing_ = false;
    backend_.ring_.store(nullptr, std::memory_order_release);
    backend_.log("stop");
  }
  std::uint64_t bytesPlayed() override {
    return playing_ ? backend_.played_.load(std::memory_order_acquire) : 0;
  }

private:
  FakeAudioBackend& backend_;
  std::atomic<bool> playing_{false};
};

std::unique_ptr<port::AudioDevice> FakeAudioBackend::open(const port::AudioFormat& format) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    format_ = format;
  }
  return std::make_unique<FakeAudioDevice>(*this);
}

std::vector<std::string> FakeAudioBackend::calls() {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

port::AudioFormat FakeAudioBackend::lastFormat() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return format_;
}

void FakeAudioBackend::log(const std::string& call) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(call);
}
