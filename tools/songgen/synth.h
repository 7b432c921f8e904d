#pragma once
// Integer building blocks for the song's samples. Everything here is exact integer
// arithmetic, so the samples come out byte-identical on every machine and compiler.
#include <cstdint>
#include <vector>

namespace songgen {

// Phases are unsigned 32-bit fractions of a turn (2^32 = one full cycle).
using Phase = std::uint32_t;

// Signed sine in Q15 (-32767..32767) of a phase; table-driven, 4096 steps per turn.
std::int32_t sineQ15(Phase phase);

// Phase increment per output sample for `hertzQ16` (Hz in 16.16) at `rate` samples/second.
Phase phaseStep(std::int64_t hertzQ16, std::int32_t rate);

// Band-limited sawtooth in Q15 (about -0.6..0.6 of full scale) from `harmonics` sines.
std::int32_t sawQ15(Phase phase, int harmonics);

// Deterministic white noise, -32768..32767.
class Noise {
public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  std::int32_t next();

private:
  std::uint32_t state_;
};

// An exponential decay: level starts at 1.0 (Q16) and is multiplied by `factorQ16` per
// sample.
class Decay {
public:
  explicit Decay(std::int32_t factorQ16) : factor_(factorQ16) {}
  std::int32_t level() const { return level_; } // Q16
  void step() { level_ = static_cast<std::int32_t>((std::int64_t{level_} * factor_) >> 16); }

private:
  std::int32_t factor_;
  std::int32_t level_ = 1 << 16;
};

// Scales Q15-ish values so the largest magnitude becomes `peak` and stores them as 8-bit.
std::vector<std::int8_t> normalise(const std::vector<std::int32_t>& values, int peak);

} // namespace songgen
