#pragma once
// Attributes in eight 32-bit lanes, for the loops that run on processors with AVX2
// (rasterwide.cpp, and the first pass of lists drawn depth first): each value split into
// its whole part, modulo 2^32, and its fraction, as WideStepTable holds their steps.
#include "platform/port/rasterspan.h"

#include <cstdint>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define NYRA_WIDE_SPANS 1
#include <immintrin.h>
#endif

namespace raster::detail {

constexpr int WideBlock = 8;

#if NYRA_WIDE_SPANS
#define WIDE_INLINE [[gnu::target("avx2"), gnu::always_inline]] inline

// One attribute at eight consecutive pixels, split as in StepTable.
struct Lanes8 {
  __m256i whole, fraction;
};

WIDE_INLINE Lanes8 carried(__m256i whole, __m256i fraction) {
  return {_mm256_add_epi32(whole, _mm256_srli_epi32(fraction, FixedBits)),
          _mm256_and_si256(fraction, _mm256_set1_epi32(int(FractionMask)))};
}

WIDE_INLINE __m256i loadLanes(const std::int32_t (&values)[WideBlock]) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(values));
}

WIDE_INLINE Lanes8 startLanes(std::int64_t first, const WideStepTable& steps, int attribute) {
  return carried(_mm256_add_epi32(_mm256_set1_epi32(wholePart(first)), loadLanes(steps.offsetWhole[attribute])),
                 _mm256_add_epi32(_mm256_set1_epi32(fractionPart(first)), loadLanes(steps.offsetFraction[attribute])));
}

WIDE_INLINE void advance(Lanes8& lanes, const WideStepTable& steps, int attribute) {
  lanes = carried(_mm256_add_epi32(lanes.whole, loadLanes(steps.blockWhole[attribute])),
                  _mm256_add_epi32(lanes.fraction, loadLanes(steps.blockFraction[attribute])));
}

// Bits 0..15 of each whole part, sign-extended, which packing to 16 bits then keeps.
WIDE_INLINE __m256i low16(__m256i whole) { return _mm256_srai_epi32(_mm256_slli_epi32(whole, 16), 16); }

// Eight 32-bit lanes in 16-bit range as eight 16-bit values in order.
WIDE_INLINE __m128i narrow16(__m256i v) {
  return _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// Past the run in a partial block of `count` pixels: 16-bit lanes count..7 all ones.
WIDE_INLINE __m128i pastRun(int count) {
  return _mm_cmpgt_epi16(_mm_setr_epi16(1, 2, 3, 4, 5, 6, 7, 8), _mm_set1_epi16(std::int16_t(count)));
}
#endif

} // namespace raster::detail
