// The mixing loops for processors with AVX2: eight frames a step, their positions in
// 64-bit lanes, both neighbouring samples of each fetched at once (from a window of nine
// below one sample a frame, by a gather above), the gains fixed or ramping. Chosen at
// run time; the samples they write are exactly the narrower loops'.
#include "player/mixloops.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define NYRA_WIDE_MIXING 1
#include <immintrin.h>
#endif

#include <atomic>

namespace {

std::atomic<bool> allowed{true};

#if NYRA_WIDE_MIXING
bool detectAvx2() {
  __builtin_cpu_init(); // may run before the runtime's own constructor has
  return __builtin_cpu_supports("avx2");
}
// Asked once before main: a guarded local static would bring the C++ runtime's exception
// machinery (and with it printf) into the Windows executable.
const bool hasAvx2 = detectAvx2();
bool processorHasAvx2() { return hasAvx2; }
#endif

} // namespace

void allowWideMixing(bool allow) { allowed = allow; }

bool wideMixingAvailable() {
#if NYRA_WIDE_MIXING
  return processorHasAvx2();
#else
  return false;
#endif
}

bool wideMixingAllowed() { return allowed.load(std::memory_order_relaxed) && wideMixingAvailable(); }

#if NYRA_WIDE_MIXING
#define WIDE_INLINE [[gnu::target("avx2"), gnu::always_inline]] inline

// Both neighbours of each frame's sample, data[i] in the low and data[i + 1] in the high
// half of its lane, for the frames' indices in `index`.
struct Gathered {
  WIDE_INLINE __m256i operator()(const std::int16_t* data, __m256i index, std::int64_t) const {
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(data), index, 2);
  }
};

// The same below one sample a frame: the eight frames then lie within nine samples from
// the lowest index, `base`, so two loads and a permutation replace the gather. Reads up
// to data[base + 8], inside the guard samples after the sample's end.
struct Windowed {
  WIDE_INLINE __m256i operator()(const std::int16_t* data, __m256i index, std::int64_t base) const {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + base));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + base + 1));
    const __m256i window = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi16(here, next)),
                                                   _mm_unpackhi_epi16(here, next), 1);
    return _mm256_permutevar8x32_epi32(window, _mm256_sub_epi32(index, _mm256_set1_epi32(static_cast<int>(base))));
  }
};

// The gains of eight frames as interleaved pairs (first and second output channel of
// frames 0..3, then of frames 4..7): fixed ones,
struct FixedGains {
  __m256 pairs;
  WIDE_INLINE FixedGains(float a, float b) : pairs(_mm256_setr_ps(a, b, a, b, a, b, a, b)) {}
  WIDE_INLINE void next(__m256& first, __m256& second) { first = second = pairs; }
};

// or ones that move by their steps after every frame: a running pair of sums, the same
// additions in the same order as one frame at a time.
struct RampGains {
  __m128 gains, steps;
  WIDE_INLINE RampGains(float a, float b, float stepA, float stepB)
      : gains(_mm_setr_ps(a, b, 0.0f, 0.0f)), steps(_mm_setr_ps(stepA, stepB, 0.0f, 0.0f)) {}
  WIDE_INLINE void next(__m256& first, __m256& second) {
    __m128 pair[WideFrames];
    for (int k = 0; k < WideFrames; ++k) {
      pair[k] = gains;
      gains = _mm_add_ps(gains, steps);
    }
    first = _mm256_set_m128(_mm_movelh_ps(pair[2], pair[3]), _mm_movelh_ps(pair[0], pair[1]));
    second = _mm256_set_m128(_mm_movelh_ps(pair[6], pair[7]), _mm_movelh_ps(pair[4], pair[5]));
  }
};

template <typename Fetch, typename Gains>
[[gnu::target("avx2")]] std::int64_t mixBlocks(float* out, std::int32_t blocks, const std::int16_t* data,
                                               std::int64_t p, std::int64_t delta, Gains& gainsInOut) {
  Gains gains = gainsInOut; // in registers for the loop: the stores to out could alias it
  // Lanes hold frames 0, 1, 4, 5 (first) and 2, 3, 6, 7 (second), so that taking the low
  // or high halves of both per 128-bit lane gives frames 0..7 in order.
  __m256i first = _mm256_setr_epi64x(p, p + delta, p + 4 * delta, p + 5 * delta);
  __m256i second = _mm256_setr_epi64x(p + 2 * delta, p + 3 * delta, p + 6 * delta, p + 7 * delta);
  const __m256i advance = _mm256_set1_epi64x(WideFrames * delta);
  const __m256 fractionFactor = _mm256_set1_ps(1.0f / 2147483648.0f); // 2^-31
  // The lowest position among the eight: the first going forward, the last going back.
  std::int64_t lowest = delta >= 0 ? p : p + (WideFrames - 1) * delta;
  const Fetch fetch;
  for (std::int32_t b = 0; b < blocks; ++b) {
    const __m256 x = _mm256_castsi256_ps(first), y = _mm256_castsi256_ps(second);
    const __m256i low = _mm256_castps_si256(_mm256_shuffle_ps(x, y, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i index = _mm256_castps_si256(_mm256_shuffle_ps(x, y, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256 t = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(low, 1)), fractionFactor);
    const __m256i both = fetch(data, index, static_cast<std::int64_t>(static_cast<std::uint64_t>(lowest) >> 32));
    const __m256i here = _mm256_srai_epi32(_mm256_slli_epi32(both, 16), 16);
    const __m256i next = _mm256_srai_epi32(both, 16);
    const __m256 s = _mm256_add_ps(_mm256_cvtepi32_ps(here),
                                   _mm256_mul_ps(t, _mm256_cvtepi32_ps(_mm256_sub_epi32(next, here))));
    // Each frame's value twice, beside its pair of gains: frames 0..3, then 4..7.
    const __m256 lowTwice = _mm256_unpacklo_ps(s, s);  // frames 0, 1 | 4, 5
    const __m256 highTwice = _mm256_unpackhi_ps(s, s); // frames 2, 3 | 6, 7
    __m256 gainsFirst, gainsSecond;
    gains.next(gainsFirst, gainsSecond);
    const __m256 firstFour = _mm256_mul_ps(_mm256_permute2f128_ps(lowTwice, highTwice, 0x20), gainsFirst);
    const __m256 lastFour = _mm256_mul_ps(_mm256_permute2f128_ps(lowTwice, highTwice, 0x31), gainsSecond);
    _mm256_storeu_ps(out, _mm256_add_ps(_mm256_loadu_ps(out), firstFour));
    _mm256_storeu_ps(out + 8, _mm256_add_ps(_mm256_loadu_ps(out + 8), lastFour));
    out += 2 * WideFrames;
    first = _mm256_add_epi64(first, advance);
    second = _mm256_add_epi64(second, advance);
    lowest += WideFrames * delta;
  }
  gainsInOut = gains;
  return p + static_cast<std::int64_t>(blocks) * WideFrames * delta;
}

constexpr std::int64_t OneSample = std::int64_t{1} << 32;

template <typename Gains>
std::int64_t mixBlocksFetched(float* out, std::int32_t blocks, const std::int16_t* data, std::int64_t p,
                              std::int64_t delta, Gains& gains) {
  if (delta > -OneSample && delta < OneSample) return mixBlocks<Windowed>(out, blocks, data, p, delta, gains);
  return mixBlocks<Gathered>(out, blocks, data, p, delta, gains);
}

[[gnu::target("avx2")]] std::int64_t mixConstantWide(float* out, std::int32_t blocks, const std::int16_t* data,
                                                     std::int64_t p, std::int64_t delta, float factorA,
                                                     float factorB) {
  FixedGains gains(factorA, factorB);
  return mixBlocksFetched(out, blocks, data, p, delta, gains);
}

[[gnu::target("avx2")]] std::int64_t mixRampWide(float* out, std::int32_t blocks, const std::int16_t* data,
                                                 std::int64_t p, std::int64_t delta, float& gainA, float& gainB,
                                                 float stepA, float stepB) {
  RampGains gains(gainA, gainB, stepA, stepB);
  p = mixBlocksFetched(out, blocks, data, p, delta, gains);
  gainA = _mm_cvtss_f32(gains.gains);
  gainB = _mm_cvtss_f32(_mm_shuffle_ps(gains.gains, gains.gains, _MM_SHUFFLE(1, 1, 1, 1)));
  return p;
}
#else
std::int64_t mixConstantWide(float*, std::int32_t, const std::int16_t*, std::int64_t p, std::int64_t, float, float) {
  return p;
}

std::int64_t mixRampWide(float*, std::int32_t, const std::int16_t*, std::int64_t p, std::int64_t, float&, float&, float,
                         float) {
  return p;
}
#endif
