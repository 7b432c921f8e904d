// Voice mixing: linear interpolation over 16-bit sample data, per-voice gain ramps, and
// loop boundaries met to the frame by splitting each call into segments, so that the inner
// loops test nothing but their frame count.
#include "player/mixer.h"

#include "content/maths.h"
#include "player/mixloops.h"
#include "player/song.h"

#include <cstring>

#if defined(__SSE2__)
#define NYRA_SSE2_MIXING 1
#include <emmintrin.h>
#endif

Voice voices[VoiceTableSize];
std::int32_t rampFrames = 0;
float rampScale = 0.0f;

namespace {

constexpr std::int32_t RampFramesAtReference = 128; // at RampReferenceRate
constexpr std::int32_t RampReferenceRate = 44100;
constexpr float GainFactor = 1.0f / 255.0f;         // gain -> factor, 255 = 1.0
constexpr float CurrentGainFactor = 1.0f / 256.0f;  // drops currentGain's fraction bits
constexpr float GainToCurrent = 255.0f * 256.0f;
constexpr float FractionFactor = 1.0f / 2147483648.0f; // 2^-31: top 31 fraction bits -> [0, 1)
constexpr int FixedShift = 32;                         // 32.32 positions and steps
// Boundary counts use distances with 24 fraction bits, below 2^24 samples.
constexpr int BoundaryShift = 8;
constexpr std::uint32_t BoundaryDistanceLimit = 1u << 24;
constexpr int StereoValues = 2;
constexpr int FourFrames = 4; // frames per step of the SSE2 loop
constexpr std::int16_t ConvertMin = -32768;
constexpr std::int16_t ConvertMax = 32767;

inline std::int64_t fixedPosition(const Voice& v) {
  return static_cast<std::int64_t>((std::uint64_t{v.position} << FixedShift) | v.positionFraction);
}

inline void storePosition(Voice& v, std::int64_t p) {
  v.position = static_cast<std::uint32_t>(static_cast<std::uint64_t>(p) >> FixedShift);
  v.positionFraction = static_cast<std::uint32_t>(p);
}

inline float interpolate(const std::int16_t* data, std::int64_t p) {
  const std::uint32_t i = static_cast<std::uint32_t>(static_cast<std::uint64_t>(p) >> FixedShift);
  const float t = static_cast<float>(static_cast<std::uint32_t>(p) >> 1) * FractionFactor;
  return static_cast<float>(data[i]) + t * static_cast<float>(data[i + 1] - data[i]);
}

#if NYRA_SSE2_MIXING
// Four frames a step: positions and the two neighbouring samples taken one frame at a
// time, the arithmetic in lanes.
std::int64_t mixConstantFour(float* out, std::int32_t blocks, const std::int16_t* data, std::int64_t p,
                             std::int64_t delta, float factorA, float factorB) {
  const __m128 fractionFactor = _mm_set1_ps(FractionFactor);
  const __m128 gainA = _mm_set1_ps(factorA), gainB = _mm_set1_ps(factorB);
  // One frame's sample, its successor and its fraction as lanes of three vectors, built
  // in registers (through memory the four narrow stores would stall the wide load).
  const auto frame = [&](__m128i& h, __m128i& n, __m128i& f) {
    const std::uint32_t i = static_cast<std::uint32_t>(static_cast<std::uint64_t>(p) >> FixedShift);
    h = _mm_cvtsi32_si128(data[i]);
    n = _mm_cvtsi32_si128(data[i + 1]);
    f = _mm_cvtsi32_si128(static_cast<int>(static_cast<std::uint32_t>(p) >> 1));
    p += delta;
  };
  const auto pack = [](__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(a, b), _mm_unpacklo_epi32(c, d));
  };
  for (std::int32_t b = 0; b < blocks; ++b) {
    __m128i h0, h1, h2, h3, n0, n1, n2, n3, f0, f1, f2, f3;
    frame(h0, n0, f0);
    frame(h1, n1, f1);
    frame(h2, n2, f2);
    frame(h3, n3, f3);
    const __m128i h = pack(h0, h1, h2, h3), n = pack(n0, n1, n2, n3), f = pack(f0, f1, f2, f3);
    const __m128 t = _mm_mul_ps(_mm_cvtepi32_ps(f), fractionFactor);
    const __m128 s = _mm_add_ps(_mm_cvtepi32_ps(h), _mm_mul_ps(t, _mm_cvtepi32_ps(_mm_sub_epi32(n, h))));
    const __m128 left = _mm_mul_ps(s, gainA), right = _mm_mul_ps(s, gainB);
    _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_unpacklo_ps(left, right)));
    _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4), _mm_unpackhi_ps(left, right)));
    out += StereoValues * FourFrames;
  }
  return p;
}
#endif

// Constant gain: the widest loop the processor and sample allow, then frame pairs; an
// odd last frame is left to the caller.
std::int64_t mixConstant(float* out, std::int32_t frames, const Sample& sample, std::int64_t p, std::int64_t delta,
                         float factorA, float factorB) {
  const std::int16_t* data = sample.data;
  std::int32_t k = 0;
  if (sample.length < WideSampleLimit && wideMixingAllowed()) {
    const std::int32_t blocks = frames / WideFrames;
    p = mixConstantWide(out, blocks, data, p, delta, factorA, factorB);
    k = blocks * WideFrames;
  }
#if NYRA_SSE2_MIXING
  const std::int32_t blocks = (frames - k) / FourFrames;
  p = mixConstantFour(out + StereoValues * k, blocks, data, p, delta, factorA, factorB);
  k += blocks * FourFrames;
#endif
  for (; k + 1 < frames; k += 2) {
    const float s0 = interpolate(data, p);
    p += delta;
    const float s1 = interpolate(data, p);
    p += delta;
    out[2 * k] += s0 * factorA;
    out[2 * k + 1] += s0 * factorB;
    out[2 * k + 2] += s1 * factorA;
    out[2 * k + 3] += s1 * factorB;
  }
  return p;
}

// Linearly changing gain: the factors move by their steps after every frame.
std::int64_t mixRamp(float* out, std::int32_t frames, const std::int16_t* data, std::int64_t p, std::int64_t delta,
                     float& gainA, float& gainB, float stepA, float stepB) {
  for (std::int32_t k = 0; k < frames; ++k) {
    const float s = interpolate(data, p);
    out[2 * k] += s * gainA;
    out[2 * k + 1] += s * gainB;
    gainA += stepA;
    gainB += stepB;
    p += delta;
  }
  return p;
}

// Frames to mix before the voice reaches its boundary (loop end going forward, loop start
// going back, the sample end when unlooped), or -1 when it lies beyond any single call.
std::int64_t framesToBoundary(const Voice& v, std::int64_t p) {
  const Sample& s = *v.sample;
  const std::uint64_t start = std::uint64_t{s.loopStart} << FixedShift;
  const std::uint64_t end = std::uint64_t{s.loopStart + s.loopLength} << FixedShift;
  const std::uint64_t here = static_cast<std::uint64_t>(p);
  const std::uint64_t distance = v.direction == DirectionBackward ? here - start : end - here;
  if (static_cast<std::uint32_t>(distance >> FixedShift) >= BoundaryDistanceLimit) return -1;
  const std::uint64_t scaledDistance = distance >> BoundaryShift;
  const std::uint32_t scaledStep = (v.stepInteger << (FixedShift - BoundaryShift)) + (v.stepFraction >> BoundaryShift);
  if (scaledStep == 0) return -1;
  std::uint64_t frames = (scaledDistance + scaledStep - 1) / scaledStep;
  // The step's lowest 8 fraction bits are left out of the count, which can therefore take
  // in one frame a hair past the boundary. Going back to a loop at the sample's first
  // frame, that frame would lie before the data: it is left to the reflection instead.
  const std::uint64_t step = (std::uint64_t{v.stepInteger} << FixedShift) | v.stepFraction;
  if (v.direction == DirectionBackward && frames > 0 && here < (frames - 1) * step) --frames;
  return static_cast<std::int64_t>(frames);
}

// Starts a ramp when a gain target has changed since the last decision; a running ramp
// toward unchanged targets keeps its steps.
void decideRamp(Voice& v) {
  if (v.rampFramesLeft > 0 && v.gainA == v.lastGainA && v.gainB == v.lastGainB) return;
  v.lastGainA = v.gainA;
  v.lastGainB = v.gainB;
  const std::int32_t diffA = v.gainA - (v.currentGainA >> GainFractionBits);
  const std::int32_t diffB = v.gainB - (v.currentGainB >> GainFractionBits);
  v.rampStepA = diffA ? static_cast<float>(diffA) * GainFactor * rampScale : 0.0f;
  v.rampStepB = diffB ? static_cast<float>(diffB) * GainFactor * rampScale : 0.0f;
  v.rampFramesLeft = (diffA || diffB) ? rampFrames : 0;
}

inline float appliedGain(std::int32_t currentGain) {
  return static_cast<float>(currentGain) * CurrentGainFactor * GainFactor;
}

std::int64_t mixRampSegment(Voice& v, float* out, std::int32_t frames, std::int64_t p, std::int64_t delta) {
  float gainA = appliedGain(v.currentGainA), gainB = appliedGain(v.currentGainB);
  std::int32_t done = 0;
  if (v.sample->length < WideSampleLimit && wideMixingAllowed()) {
    const std::int32_t blocks = frames / WideFrames;
    p = mixRampWide(out, blocks, v.sample->data, p, delta, gainA, gainB, v.rampStepA, v.rampStepB);
    done = blocks * WideFrames;
  }
  p = mixRamp(out + StereoValues * done, frames - done, v.sample->data, p, delta, gainA, gainB, v.rampStepA,
              v.rampStepB);
  v.currentGainA = static_cast<std::int32_t>(roundToInt(gainA * GainToCurrent));
  v.currentGainB = static_cast<std::int32_t>(roundToInt(gainB * GainToCurrent));
  v.rampFramesLeft -= frames;
  if (v.rampFramesLeft == 0) {
    v.rampStepA = v.rampStepB = 0.0f;
    v.currentGainA = v.gainA << GainFractionBits;
    v.currentGainB = v.gainB << GainFractionBits;
  }
  return p;
}

std::int64_t mixConstantSegment(Voice& v, float* out, std::int32_t frames, std::int64_t p, std::int64_t delta) {
  // Silent at both gains, the applied ones included: adding its zeros would change no
  // sample, so the voice only moves on.
  if ((v.gainA | v.gainB | v.currentGainA | v.currentGainB) == 0)
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(p) + static_cast<std::uint64_t>(delta) * static_cast<std::uint64_t>(frames));
  p = mixConstant(out, frames, *v.sample, p, delta, static_cast<float>(v.gainA) * GainFactor,
                  static_cast<float>(v.gainB) * GainFactor);
  if (frames & 1) { // the odd frame takes the ramp formula with zero steps
    float gainA = appliedGain(v.currentGainA), gainB = appliedGain(v.currentGainB);
    const std::int32_t last = frames - 1;
    p = mixRamp(out + StereoValues * last, 1, v.sample->data, p, delta, gainA, gainB, 0.0f, 0.0f);
  }
  return p;
}

std::int64_t mixSegment(Voice& v, float* out, std::int32_t frames, std::int64_t p, bool ramp) {
  const std::int64_t step = static_cast<std::int64_t>((std::uint64_t{v.stepInteger} << FixedShift) | v.stepFraction);
  const std::int64_t delta = v.direction == DirectionBackward ? -step : step;
  return ramp ? mixRampSegment(v, out, frames, p, delta) : mixConstantSegment(v, out, frames, p, delta);
}

// Ping-pong: mirror at the boundary just met, then alternately at the other one until the
// position is back inside the loop. Signed, so that a large overshoot cannot wrap.
std::int64_t reflect(Voice& v, std::int64_t p, std::int64_t start, std::int64_t end) {
  const auto atEnd = [&] { p = 2 * end - p - 1; v.direction = DirectionBackward; };
  const auto atStart = [&] { p = 2 * start - p - 1; v.direction = DirectionForward; };
  if (v.direction == DirectionBackward) atStart(); else atEnd();
  for (;;) {
    if (v.direction == DirectionBackward && p < start) atStart();
    else if (v.direction == DirectionForward && p >= end) atEnd();
    else return p;
  }
}

// Handles the boundary just reached. False when the voice has ended (its sample is gone).
bool crossBoundary(Voice& v, std::int64_t& p) {
  const Sample& s = *v.sample;
  const std::int64_t length = static_cast<std::int64_t>(s.loopLength) << FixedShift;
  const std::int64_t start = static_cast<std::int64_t>(s.loopStart) << FixedShift;
  const std::int64_t end = start + length;
  if (s.loopLength == 0 || (s.loopKind != LoopForward && s.loopKind != LoopPingPong)) {
    v.position = v.positionFraction = 0;
    v.sample = nullptr;
    return false;
  }
  if (s.loopKind == LoopForward) {
    do p -= length; while (p >= end);
  } else {
    p = reflect(v, p, start, end);
  }
  // A boundary count can fall short of the boundary by less than 2^-24 sample; with the
  // loop at the sample's first frame the fold would then land before the data.
  if (p < 0) p = 0;
  return true;
}

void mixVoice(Voice& v, float* out, std::int32_t frames) {
  std::int32_t remaining = frames;
  float* cursor = out;
  std::int64_t p = fixedPosition(v);
  for (;;) {
    std::int32_t segment = remaining;
    bool boundary = false;
    const std::int64_t toBoundary = framesToBoundary(v, p);
    if (toBoundary >= 0 && toBoundary <= segment) {
      segment = static_cast<std::int32_t>(toBoundary);
      boundary = true;
    }
    decideRamp(v);
    const bool ramp = v.rampFramesLeft > 0;
    const bool shortened = ramp && segment > v.rampFramesLeft;
    if (shortened) segment = v.rampFramesLeft;
    p = mixSegment(v, cursor, segment, p, ramp);
    if (!shortened && !boundary) break;
    if (!shortened && !crossBoundary(v, p)) return;
    cursor += StereoValues * segment;
    remaining -= segment;
    if (remaining <= 0) break;
  }
  storePosition(v, p);
}

} // namespace

void configureMixer(std::int32_t outputRate) {
  rampFrames = (outputRate * RampFramesAtReference) / RampReferenceRate;
  rampScale = 1.0f / static_cast<float>(rampFrames);
  std::memset(voices, 0, sizeof voices);
  for (int i = 0; i < VoiceTableSize; ++i) {
    voices[i].index = i;
    voices[i].stepInteger = 1;
  }
}

void mixVoices(float* out, std::int32_t frames) {
  if (frames <= 0) return;
  for (int i = 0; i < MixedVoices; ++i)
    if (voices[i].sample) mixVoice(voices[i], out, frames);
}

void convertBlock(std::int16_t* out, const float* in, std::int32_t frames) {
  if (frames <= 0 || !out || !in) return;
  const std::int32_t values = StereoValues * frames;
  std::int32_t k = 0;
#if NYRA_SSE2_MIXING
  // Limited first, then rounded by the processor's default mode (to nearest, ties to even)
  // and packed. The limits take the value as their second operand, so that a NaN would
  // come through to the conversion's out-of-range result, -32768, as it does below.
  const __m128 low = _mm_set1_ps(ConvertMin), high = _mm_set1_ps(ConvertMax);
  for (; k + 8 <= values; k += 8) {
    const __m128 a = _mm_max_ps(low, _mm_min_ps(high, _mm_loadu_ps(in + k)));
    const __m128 b = _mm_max_ps(low, _mm_min_ps(high, _mm_loadu_ps(in + k + 4)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b)));
  }
#endif
  for (; k < values; ++k) {
    std::int64_t value = roundToInt(in[k]);
    if (value < ConvertMin) value = ConvertMin;
    if (value > ConvertMax) value = ConvertMax;
    out[k] = static_cast<std::int16_t>(value);
  }
}
