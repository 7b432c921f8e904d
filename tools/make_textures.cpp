// Makes the two embedded texture images: data/stone.pcx (64 x 64 rough stone, seamless
// across its edges) and data/spot.pcx (16 x 16 soft spot). Deterministic: the same seed
// always gives the same files.
//   make_textures OUT_DIR
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/pcxwriter.h"

namespace {

using tools::PcxPalette;
using tools::Rgb;

constexpr std::uint32_t StoneSize = 64;
constexpr std::uint64_t StoneSeed = 0x5EEDC0DE2002ull;
constexpr int StoneShades = 32; // palette: 32 brightness levels...
constexpr int StoneMixes = 8;   // ...times 8 steps from stone to streak

constexpr std::uint32_t SpotSize = 16;
constexpr int SpotPeak = 41;      // brightness at the centre
constexpr int SpotRingStep = 8;   // lost per ring of one pixel outwards
constexpr int PaletteSize = 256;

// splitmix64: small, seedable and the same everywhere.
struct Random {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double unit() { return double(next() >> 11) * 0x1.0p-53; } // 0 <= x < 1
};

// Value noise on a lattice of period x period cells laid over the whole image, so it
// wraps seamlessly at the image edges. Smoothstep between lattice values.
struct PeriodicNoise {
  int period;
  std::vector<double> lattice;
  PeriodicNoise(int p, Random& random) : period(p), lattice(std::size_t(p) * p) {
    for (double& v : lattice) v = random.unit();
  }
  double at(double x, double y) const { // x, y in image pixels
    double fx = x * period / StoneSize, fy = y * period / StoneSize;
    int x0 = int(std::floor(fx)), y0 = int(std::floor(fy));
    double tx = fx - x0, ty = fy - y0;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto v = [&](int i, int j) { return lattice[std::size_t(((j % period) + period) % period) * period + ((i % period) + period) % period]; };
    double top = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * tx;
    double bottom = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * tx;
    return top + (bottom - top) * ty;
  }
};

double smoothstep(double a, double b, double x) {
  double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

// Stone colour at brightness b (0..1) and streak mix m (0..1).
Rgb stoneColour(double b, double m) {
  // Grey-blue stone: a cool grey, a touch bluer in the shadows.
  double sr = 0.06 + 0.80 * b, sg = 0.08 + 0.82 * b, sb = 0.13 + 0.84 * b;
  // Orange-red streak: iron-stained rock, warm and a little darker.
  double rr = 0.14 + 0.86 * b, rg = 0.05 + 0.42 * b, rb = 0.03 + 0.20 * b;
  auto mix = [&](double s, double r) { return std::uint8_t(std::lround(std::clamp(s + (r - s) * m, 0.0, 1.0) * 255)); };
  return {mix(sr, rr), mix(sg, rg), mix(sb, rb)};
}

PcxPalette stonePalette() {
  PcxPalette palette{};
  for (int m = 0; m < StoneMixes; ++m) {
    for (int s = 0; s < StoneShades; ++s) {
      palette[m * StoneShades + s] = stoneColour(double(s) / (StoneShades - 1), double(m) / (StoneMixes - 1));
    }
  }
  return palette;
}

// The stone recipe. Brightness: four octaves of lumps plus per-pixel speckle, with dark
// pits where one octave dips; streak: a warm band wandering a few pixels either side of
// StreakCentre (inside the left third), its edge frayed by the finest octave.
constexpr double OctaveWeights[] = {0.34, 0.24, 0.16, 0.12}; // lattice periods 4, 8, 16, 32
constexpr double SpeckleWeight = 0.22;
constexpr double PitThreshold = 0.18, PitDepth = 0.25;
constexpr double BrightnessFloor = 0.30, BrightnessGain = 1.55; // stretch to 0..1
constexpr double StreakCentre = 12, StreakWander = 10, StreakWobble = 3;
constexpr double StreakCore = 3, StreakEdge = 9, StreakFray = 4;

struct StoneNoise {
  Random random{StoneSeed};
  PeriodicNoise octaves[4] = {{4, random}, {8, random}, {16, random}, {32, random}};
  PeriodicNoise wander{4, random};

  double brightness(double x, double y) {
    double n = SpeckleWeight * random.unit();
    for (int i = 0; i < 4; ++i) n += OctaveWeights[i] * octaves[i].at(x, y);
    double pit = octaves[2].at(x + StoneSize / 2, y + StoneSize / 2) < PitThreshold ? PitDepth : 0;
    return std::clamp((n - BrightnessFloor) * BrightnessGain - pit, 0.0, 1.0);
  }
  double streak(double x, double y) const {
    double centre = StreakCentre + StreakWander * (wander.at(0, y) - 0.5) + StreakWobble * (octaves[1].at(x, y) - 0.5);
    double fray = StreakFray * (octaves[3].at(x + StoneSize / 4, y) - 0.5);
    return 1 - smoothstep(StreakCore, StreakEdge, std::fabs(x - centre) + fray);
  }
};

std::vector<std::uint8_t> stoneIndices() {
  StoneNoise noise;
  std::vector<std::uint8_t> indices(StoneSize * StoneSize);
  for (std::uint32_t y = 0; y < StoneSize; ++y) {
    for (std::uint32_t x = 0; x < StoneSize; ++x) {
      int shade = int(std::lround(noise.brightness(x, y) * (StoneShades - 1)));
      int mixStep = int(std::lround(noise.streak(x, y) * (StoneMixes - 1)));
      indices[y * StoneSize + x] = std::uint8_t(mixStep * StoneShades + shade);
    }
  }
  return indices;
}

// A dim round spot: brightness SpotPeak at the centre, SpotRingStep less per ring.
std::vector<std::uint8_t> spotIndices() {
  std::vector<std::uint8_t> indices(SpotSize * SpotSize);
  double c = (SpotSize - 1) / 2.0;
  for (std::uint32_t y = 0; y < SpotSize; ++y) {
    for (std::uint32_t x = 0; x < SpotSize; ++x) {
      int ring = int(std::hypot(x - c, y - c));
      indices[y * SpotSize + x] = std::uint8_t(std::max(0, SpotPeak - SpotRingStep * ring));
    }
  }
  return indices;
}

PcxPalette greyPalette() {
  PcxPalette palette{};
  for (int i = 0; i < PaletteSize; ++i) palette[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)};
  return palette;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  std::string dir = argv[1];
  bool ok = tools::writeFile(dir + "/stone.pcx", tools::encodeIndexedPcx(StoneSize, StoneSize, stoneIndices(), stonePalette()));
  ok = tools::writeFile(dir + "/spot.pcx", tools::encodeIndexedPcx(SpotSize, SpotSize, spotIndices(), greyPalette())) && ok;
  return ok ? 0 : 1;
}
