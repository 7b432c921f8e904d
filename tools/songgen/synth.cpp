#include "tools/songgen/synth.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace songgen {
namespace {

constexpr int SineTableBits = 12;
constexpr int SineTableSize = 1 << SineTableBits;
constexpr int FixedBits = 30;              // Q30 for the series
constexpr std::int64_t HalfPiQ30 = 1686629713; // pi/2 x 2^30

// sin(x) for 0 <= x <= pi/2 in Q30 from its Taylor series to x^11 (error far below the
// 8-bit output step).
std::int64_t seriesSineQ30(std::int64_t x) {
  const std::int64_t x2 = (x * x) >> FixedBits;
  std::int64_t term = x;
  std::int64_t sum = x;
  for (int n = 1; n <= 5; ++n) {
    term = -((term * x2) >> FixedBits) / ((2 * n) * (2 * n + 1));
    sum += term;
  }
  return sum;
}

std::array<std::int16_t, SineTableSize> buildSineTable() {
  std::array<std::int16_t, SineTableSize> table{};
  const int quarter = SineTableSize / 4;
  for (int i = 0; i <= quarter; ++i) {
    const std::int64_t x = HalfPiQ30 * i / quarter;
    const std::int64_t s = (seriesSineQ30(x) * 32767 + (std::int64_t{1} << (FixedBits - 1))) >> FixedBits;
    const auto v = static_cast<std::int16_t>(std::min<std::int64_t>(s, 32767));
    table[i] = v;
    if (i > 0) table[SineTableSize / 2 - i] = v;
    table[(SineTableSize / 2 + i) % SineTableSize] = static_cast<std::int16_t>(-v);
    if (i > 0 && i < quarter) table[SineTableSize - i] = static_cast<std::int16_t>(-v);
  }
  return table;
}

const std::array<std::int16_t, SineTableSize>& sineTable() {
  static const auto table = buildSineTable();
  return table;
}

} // namespace

std::int32_t sineQ15(Phase phase) { return sineTable()[phase >> (32 - SineTableBits)]; }

Phase phaseStep(std::int64_t hertzQ16, std::int32_t rate) {
  return static_cast<Phase>((hertzQ16 << 16) / rate);
}

std::int32_t sawQ15(Phase phase, int harmonics) {
  std::int32_t sum = 0;
  for (int k = 1; k <= harmonics; ++k)
    sum += sineQ15(static_cast<Phase>(phase * static_cast<std::uint32_t>(k))) / k;
  return sum / 2;
}

std::int32_t Noise::next() {
  // xorshift32
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return static_cast<std::int32_t>(state_ >> 16) - 32768;
}

std::vector<std::int8_t> normalise(const std::vector<std::int32_t>& values, int peak) {
  std::int64_t largest = 1;
  for (std::int32_t v : values) largest = std::max<std::int64_t>(largest, std::llabs(v));
  std::vector<std::int8_t> out;
  out.reserve(values.size());
  for (std::int32_t v : values) {
    const std::int64_t scaled = v * std::int64_t{peak};
    // Round half away from zero, symmetric for both signs.
    const std::int64_t q = (std::llabs(scaled) + largest / 2) / largest;
    out.push_back(static_cast<std::int8_t>(scaled < 0 ? -q : q));
  }
  return out;
}

} // namespace songgen
