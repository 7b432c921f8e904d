#pragma once
// The software mixer: 64 resampling voices summed into a float block, then converted to
// 16-bit. Voice positions and steps are 32.32 fixed point in source samples; gains are
// integers where 255 is full level; mix values are in 16-bit sample units (full scale
// +-32768).
#include <cstdint>

struct Sample;

// Voice::direction.
constexpr std::int32_t DirectionForward = 1;
constexpr std::int32_t DirectionBackward = 2;

constexpr int VoiceTableSize = 256;
constexpr int MixedVoices = 64;
// Channel i drives voice i or its partner i + VoicePartnerOffset.
constexpr int VoicePartnerOffset = 32;
constexpr std::int32_t GainFull = 255;
// currentGainA/B carry 8 fractional bits.
constexpr int GainFractionBits = 8;

struct Voice {
  std::int32_t index;        // position in the voice table
  std::int32_t volume;       // as last computed (not read by the mixer)
  std::int32_t frequency;    // Hz, as last computed (not read by the mixer)
  std::int32_t panning;      // 0..255, as last computed (not read by the mixer)
  std::int32_t volumeCopy;   // the volume gainA and gainB come from
  std::int32_t panningCopy;  // the panning gainA and gainB come from
  std::uint32_t startOffset; // samples: where the next note starts
  Sample* sample;            // null = silent; not owned
  std::int32_t gainA;        // first (left) output channel, GainFull = full level:
                             // volumeCopy x (255 - panningCopy) / 255
  std::int32_t gainB;        // second (right) output channel: volumeCopy x panningCopy / 255
  std::uint32_t position;    // integer part of the play position, samples
  std::uint32_t positionFraction; // units of 2^-32 sample
  std::uint32_t stepFraction;     // units of 2^-32 sample per output frame
  std::uint32_t stepInteger;      // whole samples per output frame, below 256
  std::int32_t direction;         // DirectionForward or DirectionBackward
  std::int32_t lastGainA, lastGainB;       // targets when the running ramp was decided
  std::int32_t currentGainA, currentGainB; // gain applied, x 256
  float rampStepA, rampStepB;              // per-frame change of the gain factor (1.0 = 255)
  std::int32_t rampFramesLeft;             // frames left in the running ramp, 0 = none
};

extern Voice voices[VoiceTableSize];

// Ramp length in frames and its reciprocal, set by configureMixer.
extern std::int32_t rampFrames;
extern float rampScale;

// Sets the ramp length for `outputRate` (128 frames at 44100) and zeroes every voice,
// giving each its index and a step of 1.0.
void configureMixer(std::int32_t outputRate);

// Adds voices 0..MixedVoices-1 into `frames` interleaved stereo frames at `out`.
void mixVoices(float* out, std::int32_t frames);

// Converts 2 x frames floats to 16-bit: nearest integer (ties to even), clipped.
void convertBlock(std::int16_t* out, const float* in, std::int32_t frames);

// Voices are mixed eight frames a step where the processor has AVX2 (checked once, at run
// time); otherwise constant gains go four frames a step with SSE2 and ramps one frame at
// a time. The samples are the same either way.
bool wideMixingAvailable();
// Lets tests and benchmarks turn the eight-frame loop off (it is on by default).
void allowWideMixing(bool allow);
