#include "platform/port/rastercoarse.h"

#include "platform/port/rasterlanes.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) && !NYRA_WIDE_SPANS
#include <emmintrin.h>
#endif

namespace raster::detail {
namespace {

constexpr int TileSize = 1 << CoarseDepth::TileBits;
constexpr double DepthScale = 65535.0;

#if defined(__SSE2__)
// The largest depth in `rows` rows of eight keys, `pitch` keys apart. The depths are
// shifted down with their sign, so that packing them to 16 bits keeps every bit, and
// compared as signed with the top bit flipped, which keeps their order.
std::uint16_t largestOfRows(const std::uint32_t* keys, int rows, int pitch) {
  const __m128i flip = _mm_set1_epi16(std::int16_t(0x8000));
  __m128i most = flip; // 0, flipped
  for (int r = 0; r < rows; ++r, keys += pitch) {
    __m128i low = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(keys)), 16);
    __m128i high = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(keys + 4)), 16);
    most = _mm_max_epi16(most, _mm_xor_si128(_mm_packs_epi32(low, high), flip));
  }
  most = _mm_max_epi16(most, _mm_shuffle_epi32(most, _MM_SHUFFLE(1, 0, 3, 2)));
  most = _mm_max_epi16(most, _mm_shuffle_epi32(most, _MM_SHUFFLE(2, 3, 0, 1)));
  most = _mm_max_epi16(most, _mm_shufflelo_epi16(most, _MM_SHUFFLE(2, 3, 0, 1)));
  return std::uint16_t(_mm_cvtsi128_si32(most) ^ 0x8000);
}
#endif

#if NYRA_WIDE_SPANS
// The largest depth in `rows` rows of 16 keys with AVX2: the largest key holds it.
[[gnu::target("avx2")]] std::uint16_t wideLargestOfRows(const std::uint32_t* keys, int rows, int pitch) {
  __m256i most = _mm256_setzero_si256();
  for (int r = 0; r < rows; ++r, keys += pitch)
    most = _mm256_max_epu32(most, _mm256_max_epu32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys)),
                                                   _mm256_loadu_si256(reinterpret_cast<const __m256i*>(keys + 8))));
  __m128i four = _mm_max_epu32(_mm256_castsi256_si128(most), _mm256_extracti128_si256(most, 1));
  four = _mm_max_epu32(four, _mm_shuffle_epi32(four, _MM_SHUFFLE(1, 0, 3, 2)));
  four = _mm_max_epu32(four, _mm_shuffle_epi32(four, _MM_SHUFFLE(2, 3, 0, 1)));
  return std::uint16_t(std::uint32_t(_mm_cvtsi128_si32(four)) >> 16);
}
#endif

} // namespace

void CoarseDepth::begin(const DepthKeys& keys) {
  keys_ = keys;
  wide_ = wideSpansAvailable();
  tilesAcross_ = (keys.width + TileSize - 1) >> TileBits;
  tilesDown_ = (keys.height + TileSize - 1) >> TileBits;
  std::size_t tiles = std::size_t(tilesAcross_) * std::size_t(tilesDown_);
  if (largest_.size() < tiles) {
    largest_.resize(tiles);
    measured_.resize(tiles);
  }
  if (++generation_ == 0) { // wrapped: no entry may look current
    std::fill(measured_.begin(), measured_.end(), 0);
    generation_ = 1;
  }
}

std::uint16_t CoarseDepth::measure(int tileX, int tileY) {
  std::size_t index = std::size_t(tileY) * std::size_t(tilesAcross_) + std::size_t(tileX);
  int x0 = tileX << TileBits, y0 = tileY << TileBits;
  int columns = std::min(TileSize, keys_.width - x0), rows = std::min(TileSize, keys_.height - y0);
  const std::uint32_t* keys = keys_.keys + std::ptrdiff_t(y0) * keys_.pitch + x0;
  std::uint16_t most = 0;
#if NYRA_WIDE_SPANS
  static_assert(TileSize == 16, "the wide measure reads 16 keys a row");
  if (columns == TileSize && wide_) most = wideLargestOfRows(keys, rows, keys_.pitch);
  else
#endif
#if defined(__SSE2__)
  if (columns == TileSize)
    for (int c = 0; c < TileSize; c += 8) most = std::max(most, largestOfRows(keys + c, rows, keys_.pitch));
  else
#endif
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < columns; ++c)
        most = std::max(most, std::uint16_t(keys[std::ptrdiff_t(r) * keys_.pitch + c] >> 16));
  largest_[index] = most;
  measured_[index] = generation_;
  return most;
}

inline bool CoarseDepth::bandHides(int tileY, int x0, int x1, std::int64_t nearest) {
  const std::size_t row = std::size_t(tileY) * std::size_t(tilesAcross_);
  const std::uint32_t* measured = measured_.data() + row;
  const std::uint16_t* largest = largest_.data() + row;
  const std::int64_t farthestHiding = nearest - 1; // a tile hides if its depths are all nearer than `nearest`
  for (int tileX = x0 >> TileBits; tileX <= x1 >> TileBits; ++tileX) {
    std::uint16_t most = measured[tileX] == generation_ ? largest[tileX] : measure(tileX, tileY);
    if (most > farthestHiding) return false;
  }
  return true;
}

bool CoarseDepth::hides(int x0, int y0, int x1, int y1, std::int64_t nearest) {
  if (nearest < 1 || x1 >= keys_.width || y1 >= keys_.height) return false;
  for (int tileY = y0 >> TileBits; tileY <= y1 >> TileBits; ++tileY)
    if (!bandHides(tileY, x0, x1, nearest)) return false;
  return true;
}

// Calls visit(tileY, first, last) for each band of tile rows the triangle with these
// corners (in pixels) has pixel centres in, within the box x0..x1, y0..y1, with the
// columns it may cover there: its edges clipped to the band's rows, widened by a pixel.
// Stops when visit returns false, and returns false then.
template <class Visit>
bool CoarseDepth::forEachBand(const double (&x)[3], const double (&y)[3], int x0, int y0, int x1, int y1,
                              Visit visit) const {
  struct Edge {
    double top, bottom, x, y, slope; // rows top..bottom; x = x + (row - y) * slope
  } edges[3];
  for (int e = 0; e < 3; ++e) {
    double xa = x[e], ya = y[e], xb = x[(e + 1) % 3], yb = y[(e + 1) % 3];
    edges[e] = {std::min(ya, yb), std::max(ya, yb), xa, ya, ya != yb ? (xb - xa) / (yb - ya) : 0.0};
  }
  for (int tileY = y0 >> TileBits; tileY <= y1 >> TileBits; ++tileY) {
    double top = std::max(y0, tileY << TileBits), bottom = std::min(y1, (tileY << TileBits) + TileSize - 1);
    double left = x1 + 1, right = x0 - 1;
    for (const Edge& edge : edges) {
      double low = std::max(edge.top, top), high = std::min(edge.bottom, bottom);
      if (low > high) continue;
      double atLow = edge.x + (low - edge.y) * edge.slope, atHigh = edge.x + (high - edge.y) * edge.slope;
      left = std::min({left, atLow, atHigh});
      right = std::max({right, atLow, atHigh});
    }
    if (left > right) continue; // no pixel centre of the triangle in the band
    int first = std::max(x0, int(std::floor(left)) - 1), last = std::min(x1, int(std::ceil(right)) + 1);
    if (first <= last && !visit(tileY, first, last)) return false;
  }
  return true;
}

bool CoarseDepth::hidesTriangle(const double (&x)[3], const double (&y)[3], int x0, int y0, int x1, int y1,
                                std::int64_t nearest) {
  if (nearest < 1 || x1 >= keys_.width || y1 >= keys_.height) return false;
  return forEachBand(x, y, x0, y0, x1, y1,
                     [&](int tileY, int first, int last) { return bandHides(tileY, first, last, nearest); });
}

void CoarseDepth::touchedTriangle(const double (&x)[3], const double (&y)[3], int x0, int y0, int x1, int y1) {
  forEachBand(x, y, x0, y0, std::min(x1, keys_.width - 1), std::min(y1, keys_.height - 1),
              [&](int tileY, int first, int last) {
                forget(tileY, first, last);
                return true;
              });
}

void CoarseDepth::forget(int tileY, int x0, int x1) {
  std::uint32_t* measured = measured_.data() + std::size_t(tileY) * std::size_t(tilesAcross_);
  for (int tileX = x0 >> TileBits; tileX <= x1 >> TileBits; ++tileX) measured[tileX] = 0;
}

void CoarseDepth::touched(int x0, int y0, int x1, int y1) {
  x1 = std::min(x1, keys_.width - 1);
  y1 = std::min(y1, keys_.height - 1);
  for (int tileY = y0 >> TileBits; tileY <= y1 >> TileBits; ++tileY) forget(tileY, x0, x1);
}

std::int64_t nearestDepth(float z0, float z1, float z2) {
  double nearest = double(std::min({z0, z1, z2})) * DepthScale;
  if (!(nearest >= 0)) return -1; // reaches in front of the near plane: hides nothing
  // A pixel's depth is its plane value rounded to nearest; the planes' fixed-point steps
  // err by far less than a unit over a target, and one more unit keeps the bound safe.
  return std::int64_t(std::floor(std::min(nearest, 2.0 * DepthScale))) - 1;
}

} // namespace raster::detail
