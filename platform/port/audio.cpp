#include "platform/port/audio.h"

#include "platform/port/backend.h"

#include <SDL.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>

namespace port {
namespace {

// SDL asks for 10 ms of audio per callback, which keeps the reported position fine grained.
constexpr std::uint32_t CallbackPeriodsPerSecond = 100;
constexpr std::uint16_t BitsPerByte = 8;
constexpr std::uint64_t MillisecondsPerSecond = 1000;
// SDL's silent driver: it calls back on whole-millisecond sleeps and so runs about a tenth
// slow; such a device keeps time by the port's clock instead of by what it consumed.
constexpr const char* UntimedDriver = "dummy";

class SdlAudioDevice final : public AudioDevice {
public:
  ~SdlAudioDevice() override {
    if (id_ != 0) SDL_CloseAudioDevice(id_); // joins SDL's audio thread
    if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool open(const AudioFormat& format) {
    if (format.bitsPerSample != 16 || format.channels == 0 || format.framesPerSecond == 0) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    initialised_ = true;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(format.framesPerSecond);
    want.format = AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = static_cast<Uint16>(format.framesPerSecond / CallbackPeriodsPerSecond);
    want.callback = &SdlAudioDevice::feed;
    want.userdata = this;
    SDL_AudioSpec have{};
    id_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0); // SDL converts if it must
    if (id_ == 0) return false;
    const char* driver = SDL_GetCurrentAudioDriver();
    clockPaced_ = driver && std::strcmp(driver, UntimedDriver) == 0;
    framesPerSecond_ = format.framesPerSecond;
    bytesPerSecond_ = std::uint64_t{format.framesPerSecond} * format.channels * (format.bitsPerSample / BitsPerByte);
    SDL_PauseAudioDevice(id_, 0); // silence until a ring is queued
    return true;
  }

  void playLoop(const std::uint8_t* ring, std::uint32_t bytes) override {
    std::lock_guard<std::mutex> lock(mutex_);
    ring_ = bytes ? ring : nullptr;
    ringBytes_ = bytes;
    offset_ = 0;
    played_ = 0;
    startMs_ = clock().nowMs();
  }

  void stop() override {
    std::lock_guard<std::mutex> lock(mutex_);
    ring_ = nullptr;
    ringBytes_ = 0;
    offset_ = 0;
    played_ = 0;
  }

  std::uint64_t bytesPlayed() override {
    // The lock also orders the caller's writes into the ring before the callback's later
    // reads of the same bytes.
    std::lock_guard<std::mutex> lock(mutex_);
    return clockPaced_ && ring_ ? clockBytes() : played_;
  }

private:
  static void SDLCALL feed(void* self, Uint8* stream, int length) {
    static_cast<SdlAudioDevice*>(self)->copyOut(stream, static_cast<std::uint32_t>(length));
  }

  void copyOut(std::uint8_t* stream, std::uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ring_) {
      std::memset(stream, 0, length);
      return;
    }
    // A clock-paced device plays what lies at the clock's position, so that it never reads
    // behind the position it reports (where the ring is being rewritten).
    if (clockPaced_) offset_ = static_cast<std::uint32_t>(clockBytes() % ringBytes_);
    std::uint32_t done = 0;
    while (done < length) {
      std::uint32_t piece = ringBytes_ - offset_;
      if (piece > length - done) piece = length - done;
      std::memcpy(stream + done, ring_ + offset_, piece);
      done += piece;
      offset_ += piece;
      if (offset_ == ringBytes_) offset_ = 0;
    }
    played_ += length;
  }

  // Bytes the port's clock says were played since playLoop, whole frames. Under mutex_.
  std::uint64_t clockBytes() const {
    const std::uint64_t frameBytes = bytesPerSecond_ / framesPerSecond_;
    const std::uint64_t elapsedMs = clock().nowMs() - startMs_;
    return elapsedMs * bytesPerSecond_ / MillisecondsPerSecond / frameBytes * frameBytes;
  }

  SDL_AudioDeviceID id_ = 0;
  bool initialised_ = false;
  bool clockPaced_ = false;
  std::uint64_t bytesPerSecond_ = 0;
  std::uint64_t framesPerSecond_ = 1;
  std::mutex mutex_; // guards everything below, shared with SDL's audio thread
  const std::uint8_t* ring_ = nullptr;
  std::uint32_t ringBytes_ = 0;
  std::uint32_t offset_ = 0;
  std::uint64_t played_ = 0;
  std::uint32_t startMs_ = 0; // clock reading at playLoop
};

class SdlAudioBackend final : public AudioBackend {
public:
  std::unique_ptr<AudioDevice> open(const AudioFormat& format) override {
    std::unique_ptr<SdlAudioDevice> device(new (std::nothrow) SdlAudioDevice);
    if (!device || !device->open(format)) return nullptr;
    return device;
  }
};

SdlAudioBackend& sdlBackend() {
  static SdlAudioBackend backend;
  return backend;
}

std::atomic<AudioBackend*> activeBackend{nullptr};

} // namespace

AudioBackend& audioBackend() {
  AudioBackend* backend = activeBackend.load(std::memory_order_acquire);
  return backend ? *backend : sdlBackend();
}

void setAudioBackend(AudioBackend* backend) { activeBackend.store(backend, std::memory_order_release); }

} // namespace port
