#pragma once
// Colour arithmetic of the rasterizer on packed 0xAARRGGBB words: 8 bits per channel,
// 255 meaning 1.0, every result saturated to 0..255 as Direct3D's stage and blend units do.
#include "platform/port/rasterizer.h"

#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace raster::detail {

constexpr int ChannelMax = 255;
constexpr std::uint32_t RgbMask = 0x00FFFFFF;

inline std::uint32_t clampChannel(std::int64_t v) {
  return std::uint32_t(v < 0 ? 0 : v > ChannelMax ? ChannelMax : v);
}

inline std::uint32_t packRgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r << 16 | g << 8 | b; }

// round(a * b / 255), exact for all 8-bit a and b.
inline std::uint32_t multiplyChannel(std::uint32_t a, std::uint32_t b) {
  std::uint32_t x = a * b + 128;
  return (x + (x >> 8)) >> 8;
}

#if defined(__SSE2__)
// The same arithmetic on one pixel in SIMD lanes: byte saturation and 16-bit products.
inline std::uint32_t modulateRgb(std::uint32_t a, std::uint32_t b) {
  const __m128i zero = _mm_setzero_si128();
  __m128i x = _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(int(a)), zero),
                              _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(b)), zero));
  x = _mm_add_epi16(x, _mm_set1_epi16(128));
  x = _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
  return std::uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(x, zero))) & RgbMask;
}

inline std::uint32_t addSaturateRgb(std::uint32_t a, std::uint32_t b) {
  __m128i sum = _mm_adds_epu8(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b)));
  return std::uint32_t(_mm_cvtsi128_si32(sum)) & RgbMask;
}
#else
inline std::uint32_t modulateRgb(std::uint32_t a, std::uint32_t b) {
  return packRgb(multiplyChannel((a >> 16) & 0xFF, (b >> 16) & 0xFF), multiplyChannel((a >> 8) & 0xFF, (b >> 8) & 0xFF),
                 multiplyChannel(a & 0xFF, b & 0xFF));
}

// Per-channel min(a + b, 255) on the three colour bytes; the top byte comes out 0.
inline std::uint32_t addSaturateRgb(std::uint32_t a, std::uint32_t b) {
  constexpr std::uint32_t High = 0x00808080, Low = 0x007F7F7F;
  a &= RgbMask;
  b &= RgbMask;
  std::uint32_t lowSum = (a & Low) + (b & Low);             // no carry leaves a channel
  std::uint32_t sum = lowSum ^ ((a ^ b) & High);             // channel sums modulo 256
  std::uint32_t carry = ((a & b) | ((a | b) & ~sum)) & High; // channels that overflowed
  return sum | ((carry >> 7) * 0xFF);
}
#endif

// The stage-0 colour operation on its two arguments (the general path).
std::uint32_t combine(const RasterState& state, std::uint32_t diffuse, std::uint32_t texel);

// source * srcFactor + target * destFactor, per channel, saturated; top byte 0.
std::uint32_t blend(BlendFactor srcFactor, BlendFactor destFactor, std::uint32_t source, std::uint32_t target);

} // namespace raster::detail
