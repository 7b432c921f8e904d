#pragma once
// Inside the rasterizer: one draw's triangle setup and the walk over rows (rasterizer.cpp),
// shared with lists drawn depth first (rasterdepthfirst.cpp). Vertices are snapped to
// 1/256 pixel and the three edges are integer edge functions in 64 bits, so coverage is
// exact: a pixel (X, Y) is covered when its centre, the integer point itself, is inside,
// or on a top or left edge. Nothing is clipped geometrically: the rows and spans are
// clipped to the target, so off-screen parts cost nothing.
#include "platform/port/rastercoarse.h"
#include "platform/port/rasterdepthfirst.h"
#include "platform/port/rasterquad.h"
#include "platform/port/rasterspan.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace raster::detail {

// Per-pixel attribute steps and start values are limited so that evaluating a plane
// anywhere on a target of up to MaxTargetSize pixels stays inside 64 bits.
constexpr double StepLimit = double(std::int64_t(1) << 48);
constexpr double StartLimit = double(std::int64_t(1) << 60);
constexpr double DepthScale = 65535.0;
constexpr std::int64_t DepthMaxFixed = std::int64_t(65535) << FixedBits;
// How far ahead target memory is asked for (see prefetch): the first rows of the next
// triangle while this one is drawn, and this many rows below the one being drawn.
constexpr int PrefetchRows = 8;

inline std::int64_t floorDiv(std::int64_t a, std::int64_t b) { // b > 0
  std::int64_t q = a / b;
  return (a % b < 0) ? q - 1 : q;
}

// floor(a / b) and the remainder for b > 0, |a| < 2^62: a floating-point estimate made
// exact by correcting the remainder (a 64-bit division costs several times more, and
// setup makes six per triangle).
inline std::int64_t floorDivWithRemainder(std::int64_t a, std::int64_t b, std::int64_t& remainder) {
  std::int64_t q = std::int64_t(double(a) / double(b)); // truncated; corrected below
  std::int64_t r = a - q * b;
  while (r < 0) {
    --q;
    r += b;
  }
  while (r >= b) {
    ++q;
    r -= b;
  }
  remainder = r;
  return q;
}

inline std::int64_t toFixed(double value, double limit) {
  return roundToInt64(std::clamp(value * double(FixedOne), -limit, limit));
}

struct SnappedVertex {
  std::int64_t x, y; // 1/256 pixel
  const Vertex* source;
};

// Which pixels of a row one slanted edge allows, stepped exactly from row to row. With c
// the edge function at X = 0 (less one when the edge excludes its own points), a pixel
// is covered when c - S*X >= 0 (an edge going down bounds the row from the right) or
// c + S*X >= 0 (going up: from the left), S > 0; the bound is floor(c / S) or its negation.
class EdgeWalker {
public:
  EdgeWalker() = default;
  EdgeWalker(const SnappedVertex& a, const SnappedVertex& b, std::int64_t firstRow) {
    std::int64_t dx = b.x - a.x, dy = b.y - a.y;
    bool included = dy < 0; // a left edge
    std::int64_t c = ((firstRow << SubPixelBits) - a.y) * dx + a.x * dy - (included ? 0 : 1);
    divisor_ = std::abs(dy) << SubPixelBits;
    quotient_ = floorDivWithRemainder(c, divisor_, remainder_);
    quotientStep_ = floorDivWithRemainder(dx << SubPixelBits, divisor_, remainderStep_);
  }

  std::int64_t quotient() const { return quotient_; }

  // Without a branch: whether the remainder wraps varies from row to row with no pattern
  // a predictor could learn.
  void nextRow() {
    remainder_ += remainderStep_;
    std::int64_t wraps = -std::int64_t(remainder_ >= divisor_); // all ones or zero
    remainder_ -= divisor_ & wraps;
    quotient_ += quotientStep_ - wraps;
  }

private:
  std::int64_t divisor_ = 1, quotient_ = 0, remainder_ = 0, quotientStep_ = 0, remainderStep_ = 0;
};

// The triangle's shape in pixel units, for turning vertex values into planes.
struct Gradients {
  double ax, ay, e1x, e1y, e2x, e2y, inverseArea;
  std::int64_t originX, originY;

  void slopes(double a0, double a1, double a2, double& perX, double& perY) const {
    double d1 = a1 - a0, d2 = a2 - a0;
    perX = (d1 * e2y - d2 * e1y) * inverseArea;
    perY = (d2 * e1x - d1 * e2x) * inverseArea;
  }
  double valueAtOrigin(double a0, double perX, double perY) const {
    return a0 + perX * (double(originX) - ax) + perY * (double(originY) - ay);
  }
  Plane fixedPlane(double a0, double a1, double a2, std::int64_t bias = 0) const {
    // Equal values make zero slopes and the value itself at the origin, exactly.
    if (a0 == a1 && a0 == a2) return Plane{toFixed(a0, StartLimit) + bias, 0, 0};
    double perX, perY;
    slopes(a0, a1, a2, perX, perY);
    Plane p;
    p.stepX = toFixed(perX, StepLimit);
    p.stepY = toFixed(perY, StepLimit);
    p.start = toFixed(valueAtOrigin(a0, perX, perY), StartLimit) + bias;
    return p;
  }
};

struct DoublePlane {
  double start = 0, stepX = 0, stepY = 0;
  double at(std::int64_t dx, std::int64_t dy) const { return start + stepX * double(dx) + stepY * double(dy); }
};

inline int channel(std::uint32_t argb, int index) { return int(argb >> (24 - 8 * index)) & 0xFF; }

inline bool finiteVertex(const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

inline float finiteOrZero(float v) { return std::isfinite(v) ? v : 0.0f; }

// One draw's triangles: each set up, its rows walked and its runs drawn with the loops
// chosen for the draw's state.
class TriangleDrawer {
public:
  // generalOnly: every run through the general loop (the reference for tests).
  TriangleDrawer(const ColorTarget& color, const DepthTarget& depth, const RasterState& state, bool generalOnly)
      : color_(color), depth_(depth), state_(state), generalOnly_(generalOnly) {
    context_.state = &state;
    context_.textured = state.texture.texels != nullptr &&
                        (state.arg1.source == ArgSource::Texture ||
                         (state.op != ColorOp::SelectArg1 && state.arg2.source == ArgSource::Texture));
    useDepth_ = state.depthEnabled && depth.values != nullptr;
    context_.depthActive = useDepth_;
    context_.wide = !generalOnly && wideSpansAllowed();
    context_.colorEnd = color.pixels + std::ptrdiff_t(color.height - 1) * color.pitch + color.width;
    if (useDepth_) context_.depthEnd = depth.values + std::ptrdiff_t(depth.height - 1) * depth.pitch + depth.width;
    describeTexture(context_);
  }

  void draw(const Vertex& v0, const Vertex& v1, const Vertex& v2, const Vertex& shading);
  void prefetch(const Vertex& a, const Vertex& b, const Vertex& c) const;
  void prefetchRow(std::int64_t row, std::int64_t column) const;
  // Draws the pair as one rectangle when they tile one (see rasterquad.h); false if not.
  bool drawPair(const Vertex* const (&first)[3], const Vertex* const (&second)[3], const Vertex& shading);
  // The first pass of a list drawn depth first (see rasterdepthfirst.h), over `keys`
  // laid out as the depth buffer: the triangle's or rectangle's keys, of its depths and
  // `ownerKey`, where they win. Triangles behind the coarse depth are dropped.
  void drawDepth(const Vertex& v0, const Vertex& v1, const Vertex& v2, std::uint32_t* keys, std::uint32_t ownerKey);
  void drawDepthRectangle(const Vertex* const (&first)[3], const Vertex* const (&second)[3],
                          const Rectangle& rectangle, std::uint32_t* keys, std::uint32_t ownerKey);
  // The second pass: the pixels the triangle (the first half of a rectangle) owns.
  void drawOwned(const Vertex* const (&triangle)[3], const OwnedRun* begin, const OwnedRun* end);
  // Before the first pass: its triangles are tested against the coarse depth of `keys`.
  void startDepthFirst(const DepthKeys& keys) { coarse_.begin(keys); }

private:
  bool setUp(SnappedVertex (&p)[3]);
  void makePlanes(const SnappedVertex (&p)[3], const Vertex& shading);
  void makeDepthPlane(const Vertex& a, const Vertex& b, const Vertex& c);
  template <class Runs>
  void drawDepthRuns(Runs forEach, std::uint32_t* keys, std::uint32_t ownerKey);
  template <class Visit>
  void forEachRun(SnappedVertex (&p)[3], Visit visit);
  template <int LeftCount, int RightCount, class Visit>
  void walkEdges(EdgeWalker (&edgesOnLeft)[2], EdgeWalker (&edgesOnRight)[2], Visit visit);
  template <class Visit>
  void forEachRectangleRun(const Rectangle& r, Visit visit);
  template <class Runs>
  void drawRuns(Runs forEach);
  void walkRows(SnappedVertex (&p)[3]);
  void chooseDrawer();
  void setSteps();
  bool coloursWithin16Bits() const;
  void limitRowsByFlatEdge(const SnappedVertex& a, const SnappedVertex& b);
  bool clipToDepthRange(std::int64_t& low, std::int64_t& high, std::int64_t row) const;
  void fillSpan(std::int64_t row, std::int64_t low, std::int64_t high);

  const ColorTarget& color_;
  const DepthTarget& depth_;
  const RasterState& state_;
  DrawContext context_;
  bool useDepth_ = false;
  const bool generalOnly_;
  static thread_local CoarseDepth coarse_; // kept from draw to draw (per thread)

  // Per triangle.
  Gradients g_{};
  TriangleKind kind_;
  SpanDrawer drawer_ = nullptr;
  bool needsAlpha_ = true;       // the drawer reads the diffuse alpha
  int diffuseChannelsRead_ = 4; // channels 0 (alpha) to this - 1 the drawer may read
  SpanDrawer drawers_[2][2][2] = {}; // by [gouraud][perspective][flat], chosen once per draw
  RunsDrawer runsDrawer_ = nullptr;   // draws whole triangles when set
  RunsDrawer runsDrawers_[2][2][2] = {}; // the same for whole triangles; null: none
  bool runsChosen_[2][2][2] = {};
  // A triangle's runs for runsDrawer_, a row of the target each at most. Kept from draw
  // to draw (per thread): the show makes hundreds of small draws a frame.
  static thread_local std::vector<std::int32_t> runLow_, runHigh_;
  bool clipDepth_ = false;
  std::int64_t firstRow_ = 0, lastRow_ = 0, lastColumn_ = 0; // the bounding box on the target
  Plane diffuse_[4], s_, t_, z_;
  DoublePlane uq_, vq_, q_;
  Span span_;
  std::uint32_t* keys_ = nullptr; // the first pass of a list drawn depth first
  std::uint32_t ownerKey_ = 0;
};

// Calls visit(row, low, high) for every row of the triangle that covers a pixel, top to
// bottom, with the run's first and last columns.
template <class Visit>
void TriangleDrawer::forEachRun(SnappedVertex (&p)[3], Visit visit) {
  for (int i = 0; i < 3; ++i)
    if (p[i].y == p[(i + 1) % 3].y) limitRowsByFlatEdge(p[i], p[(i + 1) % 3]);
  EdgeWalker left[2], right[2];
  int leftCount = 0, rightCount = 0;
  for (int i = 0; i < 3; ++i) {
    const SnappedVertex &a = p[i], &b = p[(i + 1) % 3];
    if (a.y < b.y) right[rightCount++] = EdgeWalker(a, b, firstRow_);
    else if (a.y > b.y) left[leftCount++] = EdgeWalker(a, b, firstRow_);
  }
  // A triangle of nonzero area has one edge on one side and two on the other, or one on
  // each when the third is flat: the walk is made for each case, its loops of fixed count.
  if (leftCount == 1 && rightCount == 2) return walkEdges<1, 2>(left, right, visit);
  if (leftCount == 2 && rightCount == 1) return walkEdges<2, 1>(left, right, visit);
  if (leftCount == 1 && rightCount == 1) return walkEdges<1, 1>(left, right, visit);
}

// The rows of forEachRun between the edges: a pixel is covered when every left edge and
// every right edge allows it.
template <int LeftCount, int RightCount, class Visit>
void TriangleDrawer::walkEdges(EdgeWalker (&edgesOnLeft)[2], EdgeWalker (&edgesOnRight)[2], Visit visit) {
  EdgeWalker left[LeftCount], right[RightCount];
  std::copy_n(edgesOnLeft, LeftCount, left);
  std::copy_n(edgesOnRight, RightCount, right);
  const std::int64_t lastColumn = color_.width - 1;
  for (std::int64_t row = firstRow_; row <= lastRow_; ++row) {
    std::int64_t low = 0, high = lastColumn;
    for (EdgeWalker& edge : left) {
      low = std::max(low, -edge.quotient());
      edge.nextRow();
    }
    for (EdgeWalker& edge : right) {
      high = std::min(high, edge.quotient());
      edge.nextRow();
    }
    if (low > high) continue;
    if (clipDepth_ && !clipToDepthRange(low, high, row)) continue;
    visit(row, low, high);
  }
}

// Collects the runs `forEach` yields, asking for their memory as it goes, and draws them
// with runsDrawer_ in one call.
template <class Runs>
void TriangleDrawer::drawRuns(Runs forEach) {
  if (runLow_.size() < std::size_t(color_.height)) {
    runLow_.resize(std::size_t(color_.height));
    runHigh_.resize(std::size_t(color_.height));
  }
  std::int64_t first = -1, last = -1;
  forEach([&](std::int64_t row, std::int64_t low, std::int64_t high) {
    if (first < 0) first = last = row;
    for (; last + 1 < row; ++last) { // rows left empty in between (by the depth range)
      runLow_[std::size_t(last + 1 - first)] = 1;
      runHigh_[std::size_t(last + 1 - first)] = 0;
    }
    runLow_[std::size_t(row - first)] = std::int32_t(low);
    runHigh_[std::size_t(row - first)] = std::int32_t(high);
    last = row;
    prefetchRow(row, low);
  });
  if (first < 0) return;
  TriangleRuns runs;
  runs.color = &color_;
  runs.depth = &depth_;
  runs.firstRow = first;
  runs.rows = int(last - first + 1);
  runs.low = runLow_.data();
  runs.high = runHigh_.data();
  runs.originX = g_.originX;
  runs.originY = g_.originY;
  runs.diffuse = diffuse_;
  runs.z = &z_;
  runs.s = &s_;
  runs.t = &t_;
  runs.steps = &span_;
  runs.keys = keys_;
  runs.ownerKey = ownerKey_;
  runsDrawer_(runs, context_);
}

// The pixels of a rectangle are those whose centres lie in [left, right) x [top, bottom).
template <class Visit>
void TriangleDrawer::forEachRectangleRun(const Rectangle& r, Visit visit) {
  constexpr std::int64_t PixelMask = (1 << SubPixelBits) - 1;
  std::int64_t first = std::max<std::int64_t>(0, (r.top + PixelMask) >> SubPixelBits);
  std::int64_t last = std::min<std::int64_t>(color_.height - 1, (r.bottom - 1) >> SubPixelBits);
  std::int64_t columnLow = std::max<std::int64_t>(0, (r.left + PixelMask) >> SubPixelBits);
  std::int64_t columnHigh = std::min<std::int64_t>(color_.width - 1, (r.right - 1) >> SubPixelBits);
  if (columnLow > columnHigh) return;
  for (std::int64_t row = first; row <= last; ++row) {
    std::int64_t low = columnLow, high = columnHigh;
    if (clipDepth_ && !clipToDepthRange(low, high, row)) continue;
    visit(row, low, high);
  }
}

// The runs `forEach` yields, through the first pass's loop.
template <class Runs>
void TriangleDrawer::drawDepthRuns(Runs forEach, std::uint32_t* keys, std::uint32_t ownerKey) {
  prepareWideDepthSteps(context_, z_.stepX);
  RunsDrawer saved = runsDrawer_;
  runsDrawer_ = wideDepthRunsDrawer();
  keys_ = keys, ownerKey_ = ownerKey;
  drawRuns(forEach);
  runsDrawer_ = saved;
  keys_ = nullptr;
}

} // namespace raster::detail
