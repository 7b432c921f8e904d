#pragma once
// The 44-byte header of a PCM WAV file of 16-bit samples. Header-only, so that the
// offline tools of the Windows build share it with the capture.
#include <array>
#include <cstddef>
#include <cstdint>

namespace port {

constexpr std::size_t WavHeaderBytes = 44;
// The RIFF size counts from "WAVE" on: the header less its first 8 bytes, plus the data.
constexpr std::uint32_t WavRiffOverhead = 36;

inline std::array<std::uint8_t, WavHeaderBytes> wavHeader(std::uint32_t framesPerSecond, std::uint16_t channels,
                                                          std::uint32_t dataBytes) {
  constexpr std::uint32_t FormatChunkBytes = 16;
  constexpr std::uint16_t PcmFormatTag = 1;
  constexpr std::uint16_t BitsPerSample = 16;
  constexpr std::uint16_t BytesPerSample = BitsPerSample / 8;
  std::array<std::uint8_t, WavHeaderBytes> h{};
  std::size_t at = 0;
  const auto tag = [&](const char (&text)[5]) {
    for (int i = 0; i < 4; ++i) h[at++] = static_cast<std::uint8_t>(text[i]);
  };
  const auto little = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) h[at++] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  tag("RIFF");
  little(WavRiffOverhead + dataBytes, 4);
  tag("WAVE");
  tag("fmt ");
  little(FormatChunkBytes, 4);
  little(PcmFormatTag, 2);
  little(channels, 2);
  little(framesPerSecond, 4);
  little(framesPerSecond * channels * BytesPerSample, 4);
  little(channels * BytesPerSample, 2);
  little(BitsPerSample, 2);
  tag("data");
  little(dataBytes, 4);
  return h;
}

} // namespace port
