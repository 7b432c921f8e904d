#include "platform/port/rasterdepthfirst.h"

#include "platform/port/rastercoarse.h"
#include "platform/port/rasterlanes.h"
#include "platform/port/rastertriangle.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__) && !NYRA_WIDE_SPANS
#include <emmintrin.h>
#endif

namespace raster::detail {
namespace {

// The first pass costs more than it saves unless the list is long and its triangles
// cover the target several times over.
constexpr int DepthFirstTriangles = 256;
constexpr double DepthFirstCover = 3.0;
constexpr int NearestBuckets = 256;

// Roughly how many times the triangles cover the target: their area with the corners
// held to the target (a mesh may reach far beyond it), over the target's.
double timesCovered(const ColorTarget& color, const Vertex* vertices, int count) {
  const double width = color.width, height = color.height;
  auto x = [&](const Vertex& v) { return std::clamp(double(v.x), 0.0, width); };
  auto y = [&](const Vertex& v) { return std::clamp(double(v.y), 0.0, height); };
  double area = 0;
  for (int i = 0; i + 2 < count; i += 3) {
    const Vertex &a = vertices[i], &b = vertices[i + 1], &c = vertices[i + 2];
    double twice = (x(b) - x(a)) * (y(c) - y(a)) - (x(c) - x(a)) * (y(b) - y(a));
    if (std::isfinite(twice)) area += std::abs(twice) / 2;
  }
  return area / (width * height);
}

constexpr int KeyPadding = 8; // a last block of eight may reach this far past the end

// Calls found(first, last, low) for each run of columns 0..width-1 whose keys have one
// low half, left to right: where a key's low half differs from its left neighbour's, a
// run ends.
// From column x on, with a run open since column `first`.
template <class Found>
void scanRow(const std::uint32_t* row, int width, Found found, int first = 0, int x = 1) {
  for (; x < width; ++x)
    if ((row[x] ^ row[x - 1]) & 0xFFFF) found(first, x - 1, row[first] & 0xFFFF), first = x;
  found(first, width - 1, row[first] & 0xFFFF);
}

#if NYRA_WIDE_SPANS
// The same eight neighbours at a time with AVX2 (every processor that draws depth first).
template <class Found>
[[gnu::target("avx2")]] void wideScanRow(const std::uint32_t* row, int width, Found found) {
  const __m256i lowHalves = _mm256_set1_epi32(0xFFFF);
  int first = 0, x = 1;
  for (; x + 8 <= width; x += 8) {
    __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x));
    __m256i left = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x - 1));
    __m256i same = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_xor_si256(here, left), lowHalves), _mm256_setzero_si256());
    for (unsigned ends = unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(same))) ^ 0xFF; ends; ends &= ends - 1) {
      int at = x + __builtin_ctz(ends);
      found(first, at - 1, row[first] & 0xFFFF);
      first = at;
    }
  }
  scanRow(row, width, found, first, x);
}
#endif

#if NYRA_WIDE_SPANS
// The first pass of a list drawn depth first over one run: each pixel's key (see
// DepthKeys) lowered to the fragment's, whose low half `ownerKey` orders fragments of one
// depth so that the later in the list wins. The key buffer runs on past every row's end
// far enough for a last, partial block, whose lanes past the run are left as they are.
WIDE_INLINE void lowerKeys(std::uint32_t* keys, int count, Lanes8 z, __m256i ownerKey, const WideStepTable& steps) {
  int i = 0;
  for (; i + WideBlock <= count; i += WideBlock) {
    __m256i* at = reinterpret_cast<__m256i*>(keys + i);
    __m256i key = _mm256_or_si256(_mm256_slli_epi32(z.whole, 16), ownerKey);
    _mm256_storeu_si256(at, _mm256_min_epu32(_mm256_loadu_si256(at), key));
    advance(z, steps, WideZ);
  }
  if (i == count) return;
  __m256i* at = reinterpret_cast<__m256i*>(keys + i);
  __m256i key = _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(z.whole, 16), ownerKey),
                                _mm256_cvtepi16_epi32(pastRun(count - i)));
  _mm256_storeu_si256(at, _mm256_min_epu32(_mm256_loadu_si256(at), key));
}

// The first pass over a whole triangle: only its depth plane is read.
[[gnu::target("avx2")]] void wideDepthRuns(const TriangleRuns& runs, const DrawContext& context) {
  const WideStepTable& steps = context.wideSteps;
  const Plane& z = *runs.z;
  const std::int64_t pitch = runs.depth->pitch, originX = runs.originX;
  const __m256i ownerKey = _mm256_set1_epi32(int(runs.ownerKey));
  std::int64_t zRow = z.start + z.stepY * (runs.firstRow - runs.originY) + FixedHalf;
  std::uint32_t* keyRow = runs.keys + runs.firstRow * pitch;
  for (int row = 0; row < runs.rows; ++row, keyRow += pitch, zRow += z.stepY) {
    std::int32_t low = runs.low[row], high = runs.high[row];
    if (low <= high)
      lowerKeys(keyRow + low, high - low + 1, startLanes(zRow + z.stepX * (low - originX), steps, WideZ), ownerKey,
                steps);
  }
}
#endif

} // namespace

RunsDrawer wideDepthRunsDrawer() {
#if NYRA_WIDE_SPANS
  if (wideSpansAllowed()) return wideDepthRuns;
#endif
  return nullptr;
}

bool drawsDepthFirst(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                     const Vertex* vertices, int count, Topology topology) {
  bool ignoresTarget = !state.blendEnabled || (state.destBlend == BlendFactor::Zero &&
                                               state.srcBlend != BlendFactor::DestColor &&
                                               state.srcBlend != BlendFactor::InvDestColor);
  return topology == Topology::TriangleList && count / 3 >= DepthFirstTriangles &&
         count / 3 <= DepthFirstMostUnits && state.depthEnabled && depth.values &&
         state.depthFunc == DepthFunc::LessEqual && state.depthWrite && ignoresTarget &&
         wideDepthRunsDrawer() != nullptr && timesCovered(color, vertices, count) >= DepthFirstCover;
}

bool pairedRectangle(const Vertex* const (&first)[3], const Vertex* const (&second)[3], const RasterState& state,
                     Rectangle& rectangle) {
  return mayHalveRectangle(*first[0], *first[1], *first[2]) &&
         tilesRectangle(first, second, state.cull, state.flatShading, rectangle);
}

void listUnits(const Vertex* vertices, int count, const RasterState& state, std::vector<ListUnit>& units) {
  units.clear();
  for (int i = 0; i + 2 < count; i += 3) {
    const Vertex* v = vertices + i;
    ListUnit unit{i, false, {}};
    if (i + 5 < count && pairedRectangle({v, v + 1, v + 2}, {v + 3, v + 4, v + 5}, state, unit.rectangle)) {
      unit.pair = true;
      i += 3;
    }
    units.push_back(unit);
  }
}

void nearestFirst(const std::vector<ListUnit>& units, const Vertex* vertices, std::vector<std::int32_t>& order) {
  static thread_local std::vector<std::uint8_t> bucket;
  std::size_t count = units.size();
  bucket.resize(count);
  order.resize(count);
  int starts[NearestBuckets + 1] = {};
  for (std::size_t u = 0; u < count; ++u) {
    const Vertex* v = vertices + units[u].first;
    std::int64_t z = nearestDepth(v[0].z, v[1].z, v[2].z);
    if (units[u].pair) z = std::min(z, nearestDepth(v[3].z, v[4].z, v[5].z));
    bucket[u] = std::uint8_t(std::clamp<std::int64_t>(z, 0, 0xFFFF) >> 8);
    ++starts[bucket[u] + 1];
  }
  for (int b = 1; b <= NearestBuckets; ++b) starts[b] += starts[b - 1];
  for (std::size_t u = 0; u < count; ++u) order[std::size_t(starts[bucket[u]]++)] = std::int32_t(u);
}

void startKeys(const DepthTarget& depth, std::vector<std::uint32_t>& keys) {
  std::size_t count = std::size_t(depth.height) * std::size_t(depth.pitch);
  keys.resize(count + KeyPadding);
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i none = _mm_set1_epi16(std::int16_t(NoUnitKey));
  for (; i + 8 <= count; i += 8) {
    __m128i depths = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth.values + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(keys.data() + i), _mm_unpacklo_epi16(none, depths));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(keys.data() + i + 4), _mm_unpackhi_epi16(none, depths));
  }
#endif
  for (; i < count; ++i) keys[i] = std::uint32_t(depth.values[i]) << 16 | NoUnitKey;
  std::fill(keys.begin() + std::ptrdiff_t(count), keys.end(), ~std::uint32_t(0));
}

void finishDepths(const std::vector<std::uint32_t>& keys, const DepthTarget& depth) {
  std::size_t count = std::size_t(depth.height) * std::size_t(depth.pitch), i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= count; i += 8) {
    // Shifted down with their sign, the depths pack to 16 bits with every bit kept.
    __m128i low = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(keys.data() + i)), 16);
    __m128i high = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(keys.data() + i + 4)), 16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(depth.values + i), _mm_packs_epi32(low, high));
  }
#endif
  for (; i < count; ++i) depth.values[i] = std::uint16_t(keys[i] >> 16);
}

void OwnedRuns::collect(const std::vector<std::uint32_t>& keys, int pitch, int width, int height, int unitCount) {
  found_.clear();
  owner_.clear();
  const bool wide = wideSpansAvailable();
  for (int y = 0; y < height; ++y) {
    auto found = [&](int first, int last, std::uint32_t low) {
      if (low == NoUnitKey) return;
      found_.push_back({y, first, last});
      owner_.push_back(std::int32_t(unitKey(0) - low));
    };
    const std::uint32_t* row = keys.data() + std::ptrdiff_t(y) * pitch;
#if NYRA_WIDE_SPANS
    if (wide) {
      wideScanRow(row, width, found);
      continue;
    }
#endif
    scanRow(row, width, found);
  }
  // Grouped by unit, keeping each unit's runs in the order found.
  start_.assign(std::size_t(unitCount) + 1, 0);
  for (std::int32_t u : owner_) ++start_[std::size_t(u) + 1];
  for (int u = 0; u < unitCount; ++u) start_[std::size_t(u) + 1] += start_[std::size_t(u)];
  runs_.resize(found_.size());
  for (std::size_t r = 0; r < found_.size(); ++r) runs_[std::size_t(start_[std::size_t(owner_[r])]++)] = found_[r];
  // Placing the runs moved every start on to the next unit's: move them back.
  for (int u = unitCount; u > 0; --u) start_[std::size_t(u)] = start_[std::size_t(u) - 1];
  start_[0] = 0;
}

void drawListDepthFirst(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                        const Vertex* vertices, int count) {
  // Kept from draw to draw (per thread), as the runs are.
  static thread_local std::vector<ListUnit> units;
  static thread_local std::vector<std::int32_t> order;
  static thread_local std::vector<std::uint32_t> keys;
  static thread_local OwnedRuns owned;
  listUnits(vertices, count, state, units);
  nearestFirst(units, vertices, order);
  startKeys(depth, keys);
  TriangleDrawer finder(color, depth, state, false);
  finder.startDepthFirst({keys.data(), depth.width, depth.height, depth.pitch});
  for (std::int32_t u : order) {
    const ListUnit& unit = units[std::size_t(u)];
    const Vertex* v = vertices + unit.first;
    if (unit.pair)
      finder.drawDepthRectangle({v, v + 1, v + 2}, {v + 3, v + 4, v + 5}, unit.rectangle, keys.data(), unitKey(u));
    else
      finder.drawDepth(v[0], v[1], v[2], keys.data(), unitKey(u));
  }
  owned.collect(keys, depth.pitch, color.width, color.height, int(units.size()));
  finishDepths(keys, depth);
  // Every pixel a triangle won passes its depth test: the second pass tests none.
  const DepthTarget noDepth{};
  TriangleDrawer shader(color, noDepth, state, false);
  for (std::size_t u = 0; u < units.size(); ++u) {
    const Vertex* v = vertices + units[u].first;
    shader.drawOwned({v, v + 1, v + 2}, owned.begin(int(u)), owned.end(int(u)));
  }
}

} // namespace raster::detail
