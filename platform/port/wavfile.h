#pragma once
// A PCM WAV file written as the sound arrives: a 44-byte header (its sizes filled in
// when the file is closed), then interleaved 16-bit little-endian samples.
#include <cstdint>
#include <cstdio>
#include <string>

namespace port {

class WavFile {
public:
  WavFile() = default;
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;
  ~WavFile(); // an unclosed file is closed as it stands (its header says no data)

  // Creates or replaces `path`. Empty on success, else what went wrong.
  std::string open(const std::string& path, std::uint32_t framesPerSecond, std::uint16_t channels);
  // `frames` frames of `channels` samples each.
  std::string write(const std::int16_t* samples, std::uint64_t frames);
  // Fills in the header and closes. Empty on success.
  std::string close();
  std::uint64_t frames() const { return frames_; }

private:
  std::FILE* file_ = nullptr;
  std::uint32_t framesPerSecond_ = 0;
  std::uint16_t channels_ = 0;
  std::uint64_t frames_ = 0;
};

} // namespace port
