#include "platform/port/wavfile.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/port/wavheader.h"

namespace port {
namespace {

constexpr std::uint16_t BytesPerSample = 2;
// The header's 32-bit sizes limit the sound to just under 4 GiB.
constexpr std::uint64_t LargestDataBytes = std::numeric_limits<std::uint32_t>::max() - WavRiffOverhead;

std::string systemError() { return std::strerror(errno); }

} // namespace

WavFile::~WavFile() {
  if (file_) std::fclose(file_);
}

std::string WavFile::open(const std::string& path, std::uint32_t framesPerSecond, std::uint16_t channels) {
  if (file_) return "already open";
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) return systemError();
  framesPerSecond_ = framesPerSecond;
  channels_ = channels;
  frames_ = 0;
  const auto h = wavHeader(framesPerSecond_, channels_, 0);
  if (std::fwrite(h.data(), 1, h.size(), file_) != h.size()) return systemError();
  return {};
}

std::string WavFile::write(const std::int16_t* samples, std::uint64_t frames) {
  if (!file_) return "not open";
  const std::uint64_t frameBytes = std::uint64_t{channels_} * BytesPerSample;
  if ((frames_ + frames) * frameBytes > LargestDataBytes) return "the sound is too long for a WAV file";
  static_assert(std::endian::native == std::endian::little, "samples are written as they lie in memory");
  if (std::fwrite(samples, frameBytes, frames, file_) != frames) return systemError();
  frames_ += frames;
  return {};
}

std::string WavFile::close() {
  if (!file_) return "not open";
  const auto dataBytes = static_cast<std::uint32_t>(frames_ * channels_ * BytesPerSample);
  const auto h = wavHeader(framesPerSecond_, channels_, dataBytes);
  std::string error;
  if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0 ||
      std::fwrite(h.data(), 1, h.size(), file_) != h.size())
    error = systemError();
  if (std::fclose(file_) != 0 && error.empty()) error = systemError();
  file_ = nullptr;
  return error;
}

} // namespace port
