// The constant-gain loop for processors with AVX2: eight frames a step, their positions
// in 64-bit lanes, both neighbouring samples of each fetched by one 32-bit gather. Chosen
// at run time; the samples it writes are exactly the narrower loops'.
#include "player/mixloops.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define NYRA_WIDE_MIXING 1
#include <immintrin.h>
#endif

#include <atomic>

namespace {

std::atomic<bool> allowed{true};

#if NYRA_WIDE_MIXING
bool processorHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
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
[[gnu::target("avx2")]] std::int64_t mixConstantWide(float* out, std::int32_t blocks, const std::int16_t* data,
                                                     std::int64_t p, std::int64_t delta, float factorA,
                                                     float factorB) {
  // Lanes hold frames 0, 1, 4, 5 (first) and 2, 3, 6, 7 (second), so that taking the low
  // or high halves of both per 128-bit lane gives frames 0..7 in order.
  __m256i first = _mm256_setr_epi64x(p, p + delta, p + 4 * delta, p + 5 * delta);
  __m256i second = _mm256_setr_epi64x(p + 2 * delta, p + 3 * delta, p + 6 * delta, p + 7 * delta);
  const __m256i advance = _mm256_set1_epi64x(WideFrames * delta);
  const __m256 fractionFactor = _mm256_set1_ps(1.0f / 2147483648.0f); // 2^-31
  const __m256 gainA = _mm256_set1_ps(factorA), gainB = _mm256_set1_ps(factorB);
  const int* pairs = reinterpret_cast<const int*>(data); // data[i] and data[i + 1] at byte 2i
  for (std::int32_t b = 0; b < blocks; ++b) {
    const __m256 a = _mm256_castsi256_ps(first), c = _mm256_castsi256_ps(second);
    const __m256i low = _mm256_castps_si256(_mm256_shuffle_ps(a, c, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i index = _mm256_castps_si256(_mm256_shuffle_ps(a, c, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256 t = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srli_epi32(low, 1)), fractionFactor);
    const __m256i both = _mm256_i32gather_epi32(pairs, index, 2);
    const __m256i here = _mm256_srai_epi32(_mm256_slli_epi32(both, 16), 16);
    const __m256i next = _mm256_srai_epi32(both, 16);
    const __m256 s = _mm256_add_ps(_mm256_cvtepi32_ps(here),
                                   _mm256_mul_ps(t, _mm256_cvtepi32_ps(_mm256_sub_epi32(next, here))));
    const __m256 left = _mm256_mul_ps(s, gainA), right = _mm256_mul_ps(s, gainB);
    const __m256 lowPairs = _mm256_unpacklo_ps(left, right);  // frames 0, 1 | 4, 5
    const __m256 highPairs = _mm256_unpackhi_ps(left, right); // frames 2, 3 | 6, 7
    _mm256_storeu_ps(out, _mm256_add_ps(_mm256_loadu_ps(out), _mm256_permute2f128_ps(lowPairs, highPairs, 0x20)));
    _mm256_storeu_ps(out + 8,
                     _mm256_add_ps(_mm256_loadu_ps(out + 8), _mm256_permute2f128_ps(lowPairs, highPairs, 0x31)));
    out += 2 * WideFrames;
    first = _mm256_add_epi64(first, advance);
    second = _mm256_add_epi64(second, advance);
  }
  return p + static_cast<std::int64_t>(blocks) * WideFrames * delta;
}
#else
std::int64_t mixConstantWide(float*, std::int32_t, const std::int16_t*, std::int64_t p, std::int64_t, float, float) {
  return p;
}
#endif
