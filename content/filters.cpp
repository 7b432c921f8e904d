#include "content/filters.h"

#include <algorithm>

#include "content/heap.h"
#include "content/maths.h"

namespace {

// A tap is an offset (dx, dy) from the pixel being computed.
struct Tap {
  int dx;
  int dy;
};

constexpr Tap ScatterBlurTaps[] = {{0, 0}, {0, -1}, {0, 2}, {2, 0}, {-3, 0}, {1, -1}, {-4, 1}, {7, 1}};
constexpr int ScatterBlurDivisor = 8;

constexpr Tap WarmShiftTaps[] = {{2, 0}, {4, 0}, {8, 0}, {16, 0}, {8, 3}};
constexpr int WarmShiftDivisor = 4;      // five taps over four: a quarter brighter first
constexpr double WarmShiftTint = 25.0;   // channel ch loses roundToInt(25 sin ch)...
constexpr int WarmShiftDarken = 30;      // ...and 30 more
constexpr int ChannelMax = 255;

constexpr double SoftenEdgeDivisor = 1.5;
constexpr std::uint32_t SoftenMinimumSize = 3; // smaller images have no interior

// Position p wrapped into 0..size-1 (exact modular wrap in both directions).
std::uint32_t wrapIndex(std::int64_t p, std::uint32_t size) {
  if (p >= 0 && p < size) return static_cast<std::uint32_t>(p);
  std::int64_t r = p % size;
  return static_cast<std::uint32_t>(r < 0 ? r + size : r);
}

// Tap sums keep the three colour channels in 16-bit lanes of one 64-bit word (eight taps
// of 255 make 2040, far inside a lane), so one addition sums all channels of a tap.
using LaneSums = std::uint64_t;
constexpr int LaneBits = 16;
constexpr LaneSums LaneMask = 0xFFFF;

LaneSums spreadLanes(const Pixel& p) {
  LaneSums lanes = 0;
  for (int ch = 0; ch < ChannelColourCount; ++ch) lanes |= LaneSums(p.channel[ch]) << (LaneBits * ch);
  return lanes;
}

// For each pixel, sums every channel over `taps` (positions wrapping at the edges) and
// stores finish(sum, channel) into the result. Columns away from the edges read their
// taps directly; only the few edge columns pay for the wrap.
template <std::size_t N, class Finish>
void filterByTaps(const PixelBuffer& s, const PixelBuffer& r, const Tap (&taps)[N], Finish finish) {
  static_assert(N * 255 <= LaneMask);
  if (s.width == 0 || s.height == 0) return;
  auto* lanes = static_cast<LaneSums*>(memAlloc(pixelCount(s) * sizeof(LaneSums)));
  for (std::size_t i = 0; i < pixelCount(s); ++i) lanes[i] = spreadLanes(s.pixels[i]);
  std::int64_t firstInside = 0, endInside = s.width; // columns whose taps all stay in the row
  for (const Tap& t : taps) {
    firstInside = std::max<std::int64_t>(firstInside, -t.dx);
    endInside = std::min<std::int64_t>(endInside, std::int64_t(s.width) - t.dx);
  }
  endInside = std::max(endInside, firstInside);
  const LaneSums* rows[N];
  for (std::uint32_t y = 0; y < s.height; ++y) {
    for (std::size_t t = 0; t < N; ++t) rows[t] = lanes + std::size_t(wrapIndex(std::int64_t(y) + taps[t].dy, s.height)) * s.width;
    Pixel* out = &pixelAt(r, 0, y);
    auto store = [&](std::int64_t x, LaneSums sum) {
      for (int ch = 0; ch < ChannelColourCount; ++ch) out[x].channel[ch] = finish(static_cast<int>((sum >> (LaneBits * ch)) & LaneMask), ch);
    };
    auto wrapped = [&](std::int64_t x) {
      LaneSums sum = 0;
      for (std::size_t t = 0; t < N; ++t) sum += rows[t][wrapIndex(x + taps[t].dx, s.width)];
      store(x, sum);
    };
    for (std::int64_t x = 0; x < std::min<std::int64_t>(firstInside, s.width); ++x) wrapped(x);
    for (std::int64_t x = firstInside; x < endInside; ++x) {
      LaneSums sum = 0;
      for (std::size_t t = 0; t < N; ++t) sum += rows[t][x + taps[t].dx];
      store(x, sum);
    }
    for (std::int64_t x = std::max(endInside, firstInside); x < s.width; ++x) wrapped(x);
  }
  memFree(lanes);
}

// Divides v by 1.5 when it is non-zero and exactly one of its two neighbours is empty.
int softenAlongAxis(int v, int before, int after) {
  if (v != 0 && ((before == 0) != (after == 0))) return static_cast<int>(roundToInt(v / SoftenEdgeDivisor));
  return v;
}

void softenEdges(const PixelBuffer& s, const PixelBuffer& r) {
  if (s.width < SoftenMinimumSize || s.height < SoftenMinimumSize) return; // all black
  for (std::uint32_t y = 1; y + 1 < s.height; ++y) {
    for (std::uint32_t x = 1; x + 1 < s.width; ++x) {
      for (int ch = 0; ch < ChannelColourCount; ++ch) {
        int v = pixelAt(s, x, y).channel[ch];
        v = softenAlongAxis(v, pixelAt(s, x - 1, y).channel[ch], pixelAt(s, x + 1, y).channel[ch]);
        v = softenAlongAxis(v, pixelAt(s, x, y - 1).channel[ch], pixelAt(s, x, y + 1).channel[ch]);
        pixelAt(r, x, y).channel[ch] = static_cast<std::uint8_t>(v);
      }
    }
  }
}

void scatterBlur(const PixelBuffer& s, const PixelBuffer& r) {
  filterByTaps(s, r, ScatterBlurTaps, [](int sum, int) { return static_cast<std::uint8_t>(sum / ScatterBlurDivisor); });
}

void warmShift(const PixelBuffer& s, const PixelBuffer& r) {
  int tint[ChannelColourCount];
  for (int ch = 0; ch < ChannelColourCount; ++ch) tint[ch] = static_cast<int>(roundToInt(WarmShiftTint * sinD(ch)));
  filterByTaps(s, r, WarmShiftTaps, [&tint](int sum, int ch) {
    return static_cast<std::uint8_t>(std::clamp(sum / WarmShiftDivisor - tint[ch] - WarmShiftDarken, 0, ChannelMax));
  });
}

} // namespace

PixelBuffer filterPixels(PixelBuffer source, std::int32_t mode) {
  PixelBuffer result = makePixelBuffer(source.width, source.height);
  switch (mode) {
    case FilterSoftenEdges: softenEdges(source, result); break;
    case FilterScatterBlur: scatterBlur(source, result); break;
    case FilterWarmShift: warmShift(source, result); break;
    default: break; // unknown mode: black
  }
  return result;
}
