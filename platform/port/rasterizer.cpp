#include "platform/port/rasterizer.h"

#include "platform/port/rastercoarse.h"
#include "platform/port/rasterdepthfirst.h"
#include "platform/port/rasterquad.h"
#include "platform/port/rasterspan.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// Triangle setup and the walk over rows. Vertices are snapped to 1/256 pixel and the
// three edges are integer edge functions in 64 bits, so coverage is exact: a pixel
// (X, Y) is covered when its centre, the integer point itself, is inside, or on a top or
// left edge. Nothing is clipped geometrically: the rows and spans are clipped to the
// target, so off-screen parts cost nothing.

namespace raster {
namespace {

using detail::FixedBits;
using detail::FixedHalf;
using detail::Span;

using detail::SubPixelBits;
using detail::SubPixelScale;
using detail::snap;
// Per-pixel attribute steps and start values are limited so that evaluating a plane
// anywhere on a target of up to MaxTargetSize pixels stays inside 64 bits.
constexpr double StepLimit = double(std::int64_t(1) << 48);
constexpr double StartLimit = double(std::int64_t(1) << 60);
constexpr double DepthScale = 65535.0;
constexpr std::int64_t DepthMaxFixed = std::int64_t(65535) << FixedBits;
// How far ahead target memory is asked for (see prefetch): the first rows of the next
// triangle while this one is drawn, and this many rows below the one being drawn.
constexpr int PrefetchRows = 8;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { // b > 0
  std::int64_t q = a / b;
  return (a % b < 0) ? q - 1 : q;
}

// floor(a / b) and the remainder for b > 0, |a| < 2^62: a floating-point estimate made
// exact by correcting the remainder (a 64-bit division costs several times more, and
// setup makes six per triangle).
std::int64_t floorDivWithRemainder(std::int64_t a, std::int64_t b, std::int64_t& remainder) {
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

using detail::roundToInt64;

std::int64_t toFixed(double value, double limit) {
  return roundToInt64(std::clamp(value * double(detail::FixedOne), -limit, limit));
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

using detail::Plane;

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

int channel(std::uint32_t argb, int index) { return int(argb >> (24 - 8 * index)) & 0xFF; }

bool finiteVertex(const Vertex& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

float finiteOrZero(float v) { return std::isfinite(v) ? v : 0.0f; }

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
    context_.wide = !generalOnly && detail::wideSpansAllowed();
    context_.colorEnd = color.pixels + std::ptrdiff_t(color.height - 1) * color.pitch + color.width;
    if (useDepth_) context_.depthEnd = depth.values + std::ptrdiff_t(depth.height - 1) * depth.pitch + depth.width;
    detail::describeTexture(context_);
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
                          const detail::Rectangle& rectangle, std::uint32_t* keys, std::uint32_t ownerKey);
  // The second pass: the pixels the triangle (the first half of a rectangle) owns.
  void drawOwned(const Vertex* const (&triangle)[3], const detail::OwnedRun* begin, const detail::OwnedRun* end);
  // Before the first pass: its triangles are tested against the coarse depth of `keys`.
  void startDepthFirst(const detail::DepthKeys& keys) { coarse_.begin(keys); }

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
  void forEachRectangleRun(const detail::Rectangle& r, Visit visit);
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
  detail::DrawContext context_;
  bool useDepth_ = false;
  const bool generalOnly_;
  static thread_local detail::CoarseDepth coarse_; // kept from draw to draw (per thread)

  // Per triangle.
  Gradients g_{};
  detail::TriangleKind kind_;
  detail::SpanDrawer drawer_ = nullptr;
  bool needsAlpha_ = true;       // the drawer reads the diffuse alpha
  int diffuseChannelsRead_ = 4; // channels 0 (alpha) to this - 1 the drawer may read
  detail::SpanDrawer drawers_[2][2][2] = {}; // by [gouraud][perspective][flat], chosen once per draw
  detail::RunsDrawer runsDrawer_ = nullptr;   // draws whole triangles when set
  detail::RunsDrawer runsDrawers_[2][2][2] = {}; // the same for whole triangles; null: none
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

thread_local std::vector<std::int32_t> TriangleDrawer::runLow_, TriangleDrawer::runHigh_;
thread_local detail::CoarseDepth TriangleDrawer::coarse_;

void TriangleDrawer::draw(const Vertex& v0, const Vertex& v1, const Vertex& v2, const Vertex& shading) {
  if (!finiteVertex(v0) || !finiteVertex(v1) || !finiteVertex(v2)) return;
  SnappedVertex p[3] = {{snap(v0.x), snap(v0.y), &v0}, {snap(v1.x), snap(v1.y), &v1}, {snap(v2.x), snap(v2.y), &v2}};
  if (!setUp(p)) return;
  makePlanes(p, shading);
  setSteps();
  chooseDrawer();
  if (runsDrawer_)
    drawRuns([&](auto visit) { forEachRun(p, visit); });
  else
    walkRows(p);
}

bool TriangleDrawer::drawPair(const Vertex* const (&first)[3], const Vertex* const (&second)[3],
                              const Vertex& shading) {
  detail::Rectangle rectangle;
  if (!detail::pairedRectangle(first, second, state_, rectangle)) return false;
  SnappedVertex p[3];
  for (int i = 0; i < 3; ++i) p[i] = {snap(first[i]->x), snap(first[i]->y), first[i]};
  if (!setUp(p)) return true; // wholly off the target
  makePlanes(p, shading);
  setSteps();
  chooseDrawer();
  if (runsDrawer_)
    drawRuns([&](auto visit) { forEachRectangleRun(rectangle, visit); });
  else
    forEachRectangleRun(rectangle, [&](std::int64_t row, std::int64_t low, std::int64_t high) {
      fillSpan(row, low, high);
    });
  return true;
}

void TriangleDrawer::drawDepth(const Vertex& v0, const Vertex& v1, const Vertex& v2, std::uint32_t* keys,
                               std::uint32_t ownerKey) {
  if (!finiteVertex(v0) || !finiteVertex(v1) || !finiteVertex(v2)) return;
  SnappedVertex p[3] = {{snap(v0.x), snap(v0.y), &v0}, {snap(v1.x), snap(v1.y), &v1}, {snap(v2.x), snap(v2.y), &v2}};
  if (!setUp(p)) return;
  const double x[3] = {p[0].x / SubPixelScale, p[1].x / SubPixelScale, p[2].x / SubPixelScale};
  const double y[3] = {p[0].y / SubPixelScale, p[1].y / SubPixelScale, p[2].y / SubPixelScale};
  const int x0 = int(g_.originX), y0 = int(firstRow_), x1 = int(lastColumn_), y1 = int(lastRow_);
  if (coarse_.hidesTriangle(x, y, x0, y0, x1, y1, detail::nearestDepth(v0.z, v1.z, v2.z))) return;
  makeDepthPlane(*p[0].source, *p[1].source, *p[2].source);
  drawDepthRuns([&](auto visit) { forEachRun(p, visit); }, keys, ownerKey);
  coarse_.touchedTriangle(x, y, x0, y0, x1, y1);
}

void TriangleDrawer::drawDepthRectangle(const Vertex* const (&first)[3], const Vertex* const (&second)[3],
                                        const detail::Rectangle& rectangle, std::uint32_t* keys,
                                        std::uint32_t ownerKey) {
  SnappedVertex p[3];
  for (int i = 0; i < 3; ++i) p[i] = {snap(first[i]->x), snap(first[i]->y), first[i]};
  if (!setUp(p)) return;
  std::int64_t nearest = std::min(detail::nearestDepth(first[0]->z, first[1]->z, first[2]->z),
                                  detail::nearestDepth(second[0]->z, second[1]->z, second[2]->z));
  const int x0 = int(g_.originX), y0 = int(firstRow_), x1 = int(lastColumn_), y1 = int(lastRow_);
  if (coarse_.hides(x0, y0, x1, y1, nearest)) return;
  makeDepthPlane(*p[0].source, *p[1].source, *p[2].source);
  drawDepthRuns([&](auto visit) { forEachRectangleRun(rectangle, visit); }, keys, ownerKey);
  coarse_.touched(x0, y0, x1, y1);
}

// The runs `forEach` yields, through the first pass's loop.
template <class Runs>
void TriangleDrawer::drawDepthRuns(Runs forEach, std::uint32_t* keys, std::uint32_t ownerKey) {
  detail::prepareWideDepthSteps(context_, z_.stepX);
  detail::RunsDrawer saved = runsDrawer_;
  runsDrawer_ = detail::wideDepthRunsDrawer();
  keys_ = keys, ownerKey_ = ownerKey;
  drawRuns(forEach);
  runsDrawer_ = saved;
  keys_ = nullptr;
}

// The runs are drawn as the triangle's own are, in as few calls as rows allow (one run a
// row each).
void TriangleDrawer::drawOwned(const Vertex* const (&triangle)[3], const detail::OwnedRun* begin,
                               const detail::OwnedRun* end) {
  SnappedVertex p[3];
  for (int i = 0; i < 3; ++i) p[i] = {snap(triangle[i]->x), snap(triangle[i]->y), triangle[i]};
  if (begin == end || !setUp(p)) return;
  makePlanes(p, *triangle[0]);
  setSteps();
  chooseDrawer();
  if (!runsDrawer_) {
    for (const detail::OwnedRun* run = begin; run != end; ++run) fillSpan(run->row, run->low, run->high);
    return;
  }
  while (begin != end) {
    const detail::OwnedRun* batchEnd = begin + 1;
    while (batchEnd != end && batchEnd->row > batchEnd[-1].row) ++batchEnd;
    drawRuns([&](auto visit) {
      for (const detail::OwnedRun* run = begin; run != batchEnd; ++run) visit(run->row, run->low, run->high);
    });
    begin = batchEnd;
  }
}

void TriangleDrawer::chooseDrawer() {
  detail::SpanDrawer& chosen = drawers_[kind_.gouraud][kind_.perspective][kind_.flat];
  if (!chosen) chosen = generalOnly_ ? detail::generalSpanDrawer(kind_) : detail::chooseSpanDrawer(context_, kind_);
  drawer_ = chosen;
  needsAlpha_ = kind_.gouraud && chosen == detail::generalSpanDrawer(kind_);
  // The four-pixel loops of a grey triangle whose colours fit their lanes read only red
  // (see laneBlocks); any other loop may read every channel.
#if defined(__SSE2__)
  bool redAlone = !needsAlpha_ && context_.greyDiffuse && context_.coloursFitLanes;
#else
  bool redAlone = false; // no four-pixel loops
#endif
  diffuseChannelsRead_ = redAlone ? 2 : 4;
  runsDrawer_ = nullptr;
  if (context_.wide) {
    bool& chosenYet = runsChosen_[kind_.gouraud][kind_.perspective][kind_.flat];
    detail::RunsDrawer& runs = runsDrawers_[kind_.gouraud][kind_.perspective][kind_.flat];
    if (!chosenYet) runs = detail::chooseRunsDrawer(context_, kind_), chosenYet = true;
    runsDrawer_ = runs;
  }
  detail::prepareSteps(context_, kind_, span_, runsDrawer_ != nullptr);
}

// The per-pixel steps of the triangle's planes, the same for all its spans.
void TriangleDrawer::setSteps() {
  Span& span = span_;
  if (kind_.gouraud)
    for (int i = 0; i < 4; ++i) span.diffuseStep[i] = diffuse_[i].stepX;
  if (useDepth_) span.zStep = z_.stepX;
  if (context_.textured && !kind_.perspective) {
    span.sStep = s_.stepX;
    span.tStep = t_.stepX;
  } else if (context_.textured) {
    span.qStep = q_.stepX;
    span.uqStep = uq_.stepX;
    span.vqStep = vq_.stepX;
  }
  kind_.flat = !kind_.gouraud && !kind_.perspective && span.tStep == 0 && (!useDepth_ || span.zStep == 0);
  context_.coloursFitLanes = kind_.gouraud && coloursWithin16Bits();
  auto samePlane = [](const Plane& p, const Plane& q) {
    return p.start == q.start && p.stepX == q.stepX && p.stepY == q.stepY;
  };
  context_.greyDiffuse = kind_.gouraud && samePlane(diffuse_[1], diffuse_[2]) && samePlane(diffuse_[1], diffuse_[3]);
}

// Whether every colour channel's whole part lies within 16 bits over the bounding box
// (a plane is extreme at its corners); see DrawContext::coloursFitLanes.
bool TriangleDrawer::coloursWithin16Bits() const {
  constexpr std::int64_t Low = std::numeric_limits<std::int16_t>::min(), High = std::numeric_limits<std::int16_t>::max();
  std::int64_t width = lastColumn_ - g_.originX, height = lastRow_ - g_.originY;
  for (int i = 1; i < 4; ++i)
    for (std::int64_t corner : {diffuse_[i].at(0, 0), diffuse_[i].at(width, 0), diffuse_[i].at(0, height),
                                diffuse_[i].at(width, height)})
      if ((corner >> FixedBits) < Low || (corner >> FixedBits) > High) return false;
  return true;
}

// Culls, orients the triangle clockwise (positive area with y down) and finds its rows
// on the target. False when nothing can be covered.
bool TriangleDrawer::setUp(SnappedVertex (&p)[3]) {
  std::int64_t area = (p[1].x - p[0].x) * (p[2].y - p[0].y) - (p[2].x - p[0].x) * (p[1].y - p[0].y);
  if (area == 0) return false;
  if (state_.cull == Cull::Clockwise && area > 0) return false;
  if (state_.cull == Cull::CounterClockwise && area < 0) return false;
  if (area < 0) {
    std::swap(p[1], p[2]);
    area = -area;
  }
  std::int64_t minX = std::min({p[0].x, p[1].x, p[2].x}), maxX = std::max({p[0].x, p[1].x, p[2].x});
  std::int64_t minY = std::min({p[0].y, p[1].y, p[2].y}), maxY = std::max({p[0].y, p[1].y, p[2].y});
  constexpr std::int64_t PixelMask = (1 << SubPixelBits) - 1;
  firstRow_ = std::max<std::int64_t>(0, (minY + PixelMask) >> SubPixelBits);
  lastRow_ = std::min<std::int64_t>(color_.height - 1, maxY >> SubPixelBits);
  std::int64_t firstColumn = std::max<std::int64_t>(0, (minX + PixelMask) >> SubPixelBits);
  lastColumn_ = std::min<std::int64_t>(color_.width - 1, maxX >> SubPixelBits);
  if (firstRow_ > lastRow_ || firstColumn > lastColumn_) return false;

  g_.ax = double(p[0].x) / SubPixelScale;
  g_.ay = double(p[0].y) / SubPixelScale;
  g_.e1x = double(p[1].x - p[0].x) / SubPixelScale;
  g_.e1y = double(p[1].y - p[0].y) / SubPixelScale;
  g_.e2x = double(p[2].x - p[0].x) / SubPixelScale;
  g_.e2y = double(p[2].y - p[0].y) / SubPixelScale;
  g_.inverseArea = (SubPixelScale * SubPixelScale) / double(area);
  g_.originX = firstColumn;
  g_.originY = firstRow_;
  return true;
}

void TriangleDrawer::makePlanes(const SnappedVertex (&p)[3], const Vertex& shading) {
  const Vertex& a = *p[0].source;
  const Vertex& b = *p[1].source;
  const Vertex& c = *p[2].source;

  kind_.gouraud = !state_.flatShading && (a.diffuse != b.diffuse || a.diffuse != c.diffuse);
  context_.constantDiffuse = state_.flatShading ? shading.diffuse : a.diffuse;
  if (kind_.gouraud)
    for (int i = 0; i < 4; ++i) {
      int ca = channel(a.diffuse, i), cb = channel(b.diffuse, i), cc = channel(c.diffuse, i);
      // Grey shading gives equal channels; the plane of equal values is the same plane.
      int same = i;
      for (int j = 1; j < i; ++j)
        if (ca == channel(a.diffuse, j) && cb == channel(b.diffuse, j) && cc == channel(c.diffuse, j)) same = j;
      diffuse_[i] = same < i ? diffuse_[same] : g_.fixedPlane(ca, cb, cc, FixedHalf);
    }

  makeDepthPlane(a, b, c);

  if (!context_.textured) {
    kind_.perspective = false;
    return;
  }
  double width = state_.texture.width, height = state_.texture.height;
  double ua = finiteOrZero(a.u), ub = finiteOrZero(b.u), uc = finiteOrZero(c.u);
  double va = finiteOrZero(a.v), vb = finiteOrZero(b.v), vc = finiteOrZero(c.v);
  bool usableW = std::isfinite(a.rhw) && std::isfinite(b.rhw) && std::isfinite(c.rhw) && a.rhw > 0 &&
                 b.rhw > 0 && c.rhw > 0;
  kind_.perspective = usableW && (a.rhw != b.rhw || a.rhw != c.rhw);
  if (!kind_.perspective) {
    s_ = g_.fixedPlane(ua * width, ub * width, uc * width, detail::SubTexelHalf);
    t_ = g_.fixedPlane(va * height, vb * height, vc * height, detail::SubTexelHalf);
    return;
  }
  auto doublePlane = [&](double a0, double a1, double a2) {
    DoublePlane plane;
    g_.slopes(a0, a1, a2, plane.stepX, plane.stepY);
    plane.start = g_.valueAtOrigin(a0, plane.stepX, plane.stepY);
    return plane;
  };
  q_ = doublePlane(a.rhw, b.rhw, c.rhw);
  uq_ = doublePlane(ua * a.rhw, ub * b.rhw, uc * c.rhw);
  vq_ = doublePlane(va * a.rhw, vb * b.rhw, vc * c.rhw);
}

// The depth plane, and whether runs are cut to the depths 0..1.
void TriangleDrawer::makeDepthPlane(const Vertex& a, const Vertex& b, const Vertex& c) {
  clipDepth_ = a.z < 0 || a.z > 1 || b.z < 0 || b.z > 1 || c.z < 0 || c.z > 1;
  if (useDepth_ || clipDepth_) z_ = g_.fixedPlane(a.z * DepthScale, b.z * DepthScale, c.z * DepthScale);
}

// A horizontal edge only limits the rows: a top edge (going right) keeps its own row, a
// bottom edge (going left) does not.
void TriangleDrawer::limitRowsByFlatEdge(const SnappedVertex& a, const SnappedVertex& b) {
  constexpr std::int64_t PixelMask = (1 << SubPixelBits) - 1;
  if (b.x > a.x)
    firstRow_ = std::max(firstRow_, (a.y + PixelMask) >> SubPixelBits);
  else
    lastRow_ = std::min(lastRow_, (a.y - 1) >> SubPixelBits);
}

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

// Run by run, asking for the memory a few rows ahead of the one being drawn.
void TriangleDrawer::walkRows(SnappedVertex (&p)[3]) {
  forEachRun(p, [&](std::int64_t row, std::int64_t low, std::int64_t high) {
    if (row + PrefetchRows <= lastRow_) prefetchRow(row + PrefetchRows, low);
    fillSpan(row, low, high);
  });
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
  detail::TriangleRuns runs;
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

// Asks for the target memory under a triangle about to be drawn, from its rough bounding
// box: small triangles make short runs on rows far apart in memory, and waiting for
// those to arrive costs more than the pixel work. Only the first rows are asked for;
// walkRows asks for the rest while it draws. Vertices off the target ask for nothing.
void TriangleDrawer::prefetch(const Vertex& a, const Vertex& b, const Vertex& c) const {
  float top = std::min({a.y, b.y, c.y}), bottom = std::max({a.y, b.y, c.y});
  float left = std::min({a.x, b.x, c.x}), right = std::max({a.x, b.x, c.x});
  if (!(top >= 0 && left >= 0 && bottom < float(color_.height) && right < float(color_.width))) return;
  int first = int(top), last = std::min(int(bottom), first + PrefetchRows - 1), x0 = int(left), x1 = int(right);
  for (int row = first; row <= last; ++row) {
    const std::uint32_t* colorRow = color_.pixels + std::ptrdiff_t(row) * color_.pitch;
    __builtin_prefetch(colorRow + x0, 1);
    __builtin_prefetch(colorRow + x1, 1);
    if (useDepth_) {
      const std::uint16_t* depthRow = depth_.values + std::ptrdiff_t(row) * depth_.pitch;
      __builtin_prefetch(depthRow + x0, 1);
      __builtin_prefetch(depthRow + x1, 1);
    }
  }
}

// The same for one row, at the column where a run of a row above starts.
void TriangleDrawer::prefetchRow(std::int64_t row, std::int64_t column) const {
  __builtin_prefetch(color_.pixels + row * color_.pitch + column, 1);
  if (useDepth_) __builtin_prefetch(depth_.values + row * depth_.pitch + column, 1);
}

// The pixels of a rectangle are those whose centres lie in [left, right) x [top, bottom).
template <class Visit>
void TriangleDrawer::forEachRectangleRun(const detail::Rectangle& r, Visit visit) {
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

// Narrows the run to the pixels whose depth lies in 0..1 (z is affine along the row, so
// they form one interval). False when none does.
bool TriangleDrawer::clipToDepthRange(std::int64_t& low, std::int64_t& high, std::int64_t row) const {
  std::int64_t zLow = z_.at(low - g_.originX, row - g_.originY);
  std::int64_t step = z_.stepX;
  // z(X) = zLow + step * (X - low) must lie in [0, DepthMaxFixed].
  if (step == 0) return zLow >= 0 && zLow <= DepthMaxFixed;
  std::int64_t first, last; // offsets from low
  if (step > 0) {
    first = zLow >= 0 ? 0 : -floorDiv(zLow, step);
    last = floorDiv(DepthMaxFixed - zLow, step);
  } else {
    first = zLow <= DepthMaxFixed ? 0 : -floorDiv(DepthMaxFixed - zLow, -step);
    last = floorDiv(zLow, -step);
  }
  std::int64_t newLow = low + first, newHigh = std::min(high, low + last);
  low = newLow;
  high = newHigh;
  return low <= high;
}

// The per-pixel steps are the triangle's (see setSteps); this fills in only the start
// values the triangle's drawer reads. span_ lives as long as the draw so that it is not
// zeroed again for every row.
void TriangleDrawer::fillSpan(std::int64_t row, std::int64_t low, std::int64_t high) {
  Span& span = span_;
  std::int64_t dx = low - g_.originX, dy = row - g_.originY;
  span.color = color_.pixels + row * color_.pitch + low;
  span.depth = useDepth_ ? depth_.values + row * depth_.pitch + low : nullptr;
  span.count = int(high - low + 1);
  if (kind_.gouraud) // only the general loop reads alpha; grey lanes read red alone
    for (int i = needsAlpha_ ? 0 : 1; i < diffuseChannelsRead_; ++i) span.diffuse[i] = diffuse_[i].at(dx, dy);
  if (useDepth_) span.z = z_.at(dx, dy) + FixedHalf;
  if (context_.textured && !kind_.perspective) {
    span.s = s_.at(dx, dy);
    span.t = t_.at(dx, dy);
  } else if (context_.textured) {
    span.q = q_.at(dx, dy);
    span.uq = uq_.at(dx, dy);
    span.vq = vq_.at(dx, dy);
  }
  drawer_(span, context_);
}

// See rasterdepthfirst.h.
void drawListDepthFirst(TriangleDrawer& drawer, const ColorTarget& color, const DepthTarget& depth,
                        const RasterState& state, const Vertex* vertices, int count) {
  // Kept from draw to draw (per thread), as the runs are.
  static thread_local std::vector<detail::ListUnit> units;
  static thread_local std::vector<std::int32_t> order;
  static thread_local std::vector<std::uint32_t> keys;
  static thread_local detail::OwnedRuns owned;
  detail::listUnits(vertices, count, state, units);
  detail::nearestFirst(units, vertices, order);
  detail::startKeys(depth, keys);
  drawer.startDepthFirst({keys.data(), depth.width, depth.height, depth.pitch});
  for (std::int32_t u : order) {
    const detail::ListUnit& unit = units[std::size_t(u)];
    const Vertex* v = vertices + unit.first;
    if (unit.pair)
      drawer.drawDepthRectangle({v, v + 1, v + 2}, {v + 3, v + 4, v + 5}, unit.rectangle, keys.data(), detail::unitKey(u));
    else
      drawer.drawDepth(v[0], v[1], v[2], keys.data(), detail::unitKey(u));
  }
  owned.collect(keys, depth.pitch, color.width, color.height, int(units.size()));
  detail::finishDepths(keys, depth);
  // Every pixel a triangle won passes its depth test: the second pass tests none.
  const DepthTarget noDepth{};
  TriangleDrawer shader(color, noDepth, state, false);
  for (std::size_t u = 0; u < units.size(); ++u) {
    const Vertex* v = vertices + units[u].first;
    shader.drawOwned({v, v + 1, v + 2}, owned.begin(int(u)), owned.end(int(u)));
  }
}

// drawTriangles, with the choice of span loops for tests (see drawTrianglesGeneral).
void drawWith(const ColorTarget& color, const DepthTarget& depth, const RasterState& state, const Vertex* vertices,
              int count, Topology topology, bool generalOnly) {
  if (!color.pixels || color.width <= 0 || color.height <= 0 || count < 3) return;
  TriangleDrawer drawer(color, depth, state, generalOnly);
  if (!generalOnly && detail::drawsDepthFirst(color, depth, state, vertices, count, topology))
    return drawListDepthFirst(drawer, color, depth, state, vertices, count);
  switch (topology) {
  case Topology::TriangleList:
    for (int i = 0; i + 2 < count; i += 3) {
      const Vertex* v = vertices + i;
      if (i + 5 < count && drawer.drawPair({v, v + 1, v + 2}, {v + 3, v + 4, v + 5}, v[0])) {
        i += 3;
        continue;
      }
      if (i + 5 < count) drawer.prefetch(v[3], v[4], v[5]); // a mesh: the next triangle is near
      drawer.draw(v[0], v[1], v[2], v[0]);
    }
    break;
  case Topology::TriangleStrip:
    // Every other triangle is reversed so that the whole strip keeps one winding.
    for (int i = 0; i + 2 < count; ++i) {
      const Vertex* v = vertices + i;
      if (i % 2 == 0 && i + 3 < count && drawer.drawPair({v, v + 1, v + 2}, {v + 2, v + 1, v + 3}, v[0])) {
        ++i;
        continue;
      }
      if (i % 2 == 0)
        drawer.draw(v[0], v[1], v[2], v[0]);
      else
        drawer.draw(v[1], v[0], v[2], v[0]);
    }
    break;
  case Topology::TriangleFan:
    for (int i = 1; i + 1 < count; ++i) drawer.draw(vertices[0], vertices[i], vertices[i + 1], vertices[i]);
    break;
  }
}

} // namespace

void drawTriangles(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                   const Vertex* vertices, int count, Topology topology) {
  drawWith(color, depth, state, vertices, count, topology, false);
}

namespace detail {
void drawTrianglesGeneral(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                          const Vertex* vertices, int count, Topology topology) {
  drawWith(color, depth, state, vertices, count, topology, true);
}
} // namespace detail

} // namespace raster
