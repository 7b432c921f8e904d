#include "platform/port/rasterizer.h"

#include "platform/port/rasterquad.h"
#include "platform/port/rasterspan.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

  void nextRow() {
    quotient_ += quotientStep_;
    remainder_ += remainderStep_;
    if (remainder_ >= divisor_) {
      remainder_ -= divisor_;
      ++quotient_;
    }
  }

private:
  std::int64_t divisor_ = 1, quotient_ = 0, remainder_ = 0, quotientStep_ = 0, remainderStep_ = 0;
};

// An attribute as a linear function of the pixel position, in fixed point, relative to
// the pixel (originX, originY).
struct Plane {
  std::int64_t start = 0, stepX = 0, stepY = 0;
  std::int64_t at(std::int64_t dx, std::int64_t dy) const { return start + stepX * dx + stepY * dy; }
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
  TriangleDrawer(const ColorTarget& color, const DepthTarget& depth, const RasterState& state)
      : color_(color), depth_(depth), state_(state) {
    context_.state = &state;
    context_.textured = state.texture.texels != nullptr &&
                        (state.arg1.source == ArgSource::Texture ||
                         (state.op != ColorOp::SelectArg1 && state.arg2.source == ArgSource::Texture));
    useDepth_ = state.depthEnabled && depth.values != nullptr;
    context_.depthActive = useDepth_;
    detail::describeTexture(context_);
  }

  void draw(const Vertex& v0, const Vertex& v1, const Vertex& v2, const Vertex& shading);
  // Draws the pair as one rectangle when they tile one (see rasterquad.h); false if not.
  bool drawPair(const Vertex* const (&first)[3], const Vertex* const (&second)[3], const Vertex& shading);

private:
  bool setUp(SnappedVertex (&p)[3]);
  void makePlanes(const SnappedVertex (&p)[3], const Vertex& shading);
  void walkRows(SnappedVertex (&p)[3]);
  void walkRectangle(const detail::Rectangle& r);
  void chooseDrawer();
  void limitRowsByFlatEdge(const SnappedVertex& a, const SnappedVertex& b);
  bool clipToDepthRange(std::int64_t& low, std::int64_t& high, std::int64_t row) const;
  void fillSpan(std::int64_t row, std::int64_t low, std::int64_t high);

  const ColorTarget& color_;
  const DepthTarget& depth_;
  const RasterState& state_;
  detail::DrawContext context_;
  bool useDepth_ = false;

  // Per triangle.
  Gradients g_{};
  detail::TriangleKind kind_;
  detail::SpanDrawer drawer_ = nullptr;
  detail::SpanDrawer drawers_[2][2] = {}; // by [gouraud][perspective], chosen once per draw
  bool clipDepth_ = false;
  std::int64_t firstRow_ = 0, lastRow_ = 0;
  Plane diffuse_[4], s_, t_, z_;
  DoublePlane uq_, vq_, q_;
  Span span_;
};

void TriangleDrawer::draw(const Vertex& v0, const Vertex& v1, const Vertex& v2, const Vertex& shading) {
  if (!finiteVertex(v0) || !finiteVertex(v1) || !finiteVertex(v2)) return;
  SnappedVertex p[3] = {{snap(v0.x), snap(v0.y), &v0}, {snap(v1.x), snap(v1.y), &v1}, {snap(v2.x), snap(v2.y), &v2}};
  if (!setUp(p)) return;
  makePlanes(p, shading);
  chooseDrawer();
  walkRows(p);
}

bool TriangleDrawer::drawPair(const Vertex* const (&first)[3], const Vertex* const (&second)[3],
                              const Vertex& shading) {
  detail::Rectangle rectangle;
  if (!detail::tilesRectangle(first, second, state_.cull, state_.flatShading, rectangle)) return false;
  SnappedVertex p[3];
  for (int i = 0; i < 3; ++i) p[i] = {snap(first[i]->x), snap(first[i]->y), first[i]};
  if (!setUp(p)) return true; // wholly off the target
  makePlanes(p, shading);
  chooseDrawer();
  walkRectangle(rectangle);
  return true;
}

void TriangleDrawer::chooseDrawer() {
  detail::SpanDrawer& chosen = drawers_[kind_.gouraud][kind_.perspective];
  if (!chosen) chosen = detail::chooseSpanDrawer(context_, kind_);
  drawer_ = chosen;
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
  std::int64_t lastColumn = std::min<std::int64_t>(color_.width - 1, maxX >> SubPixelBits);
  if (firstRow_ > lastRow_ || firstColumn > lastColumn) return false;

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
    for (int i = 0; i < 4; ++i)
      diffuse_[i] = g_.fixedPlane(channel(a.diffuse, i), channel(b.diffuse, i), channel(c.diffuse, i), FixedHalf);

  if (useDepth_ || a.z < 0 || a.z > 1 || b.z < 0 || b.z > 1 || c.z < 0 || c.z > 1)
    z_ = g_.fixedPlane(a.z * DepthScale, b.z * DepthScale, c.z * DepthScale);
  clipDepth_ = a.z < 0 || a.z > 1 || b.z < 0 || b.z > 1 || c.z < 0 || c.z > 1;

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

// A horizontal edge only limits the rows: a top edge (going right) keeps its own row, a
// bottom edge (going left) does not.
void TriangleDrawer::limitRowsByFlatEdge(const SnappedVertex& a, const SnappedVertex& b) {
  constexpr std::int64_t PixelMask = (1 << SubPixelBits) - 1;
  if (b.x > a.x)
    firstRow_ = std::max(firstRow_, (a.y + PixelMask) >> SubPixelBits);
  else
    lastRow_ = std::min(lastRow_, (a.y - 1) >> SubPixelBits);
}

void TriangleDrawer::walkRows(SnappedVertex (&p)[3]) {
  for (int i = 0; i < 3; ++i)
    if (p[i].y == p[(i + 1) % 3].y) limitRowsByFlatEdge(p[i], p[(i + 1) % 3]);
  EdgeWalker left[2], right[2];
  int leftCount = 0, rightCount = 0;
  for (int i = 0; i < 3; ++i) {
    const SnappedVertex &a = p[i], &b = p[(i + 1) % 3];
    if (a.y < b.y) right[rightCount++] = EdgeWalker(a, b, firstRow_);
    else if (a.y > b.y) left[leftCount++] = EdgeWalker(a, b, firstRow_);
  }
  for (std::int64_t row = firstRow_; row <= lastRow_; ++row) {
    std::int64_t low = 0, high = color_.width - 1;
    for (int k = 0; k < leftCount; ++k) {
      low = std::max(low, -left[k].quotient());
      left[k].nextRow();
    }
    for (int k = 0; k < rightCount; ++k) {
      high = std::min(high, right[k].quotient());
      right[k].nextRow();
    }
    if (low > high) continue;
    if (clipDepth_ && !clipToDepthRange(low, high, row)) continue;
    fillSpan(row, low, high);
  }
}

// The pixels of a rectangle are those whose centres lie in [left, right) x [top, bottom).
void TriangleDrawer::walkRectangle(const detail::Rectangle& r) {
  constexpr std::int64_t PixelMask = (1 << SubPixelBits) - 1;
  std::int64_t first = std::max<std::int64_t>(0, (r.top + PixelMask) >> SubPixelBits);
  std::int64_t last = std::min<std::int64_t>(color_.height - 1, (r.bottom - 1) >> SubPixelBits);
  std::int64_t columnLow = std::max<std::int64_t>(0, (r.left + PixelMask) >> SubPixelBits);
  std::int64_t columnHigh = std::min<std::int64_t>(color_.width - 1, (r.right - 1) >> SubPixelBits);
  if (columnLow > columnHigh) return;
  for (std::int64_t row = first; row <= last; ++row) {
    std::int64_t low = columnLow, high = columnHigh;
    if (clipDepth_ && !clipToDepthRange(low, high, row)) continue;
    fillSpan(row, low, high);
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

// Fills in only the fields the triangle's drawer reads; span_ lives as long as the draw
// so that it is not zeroed again for every row.
void TriangleDrawer::fillSpan(std::int64_t row, std::int64_t low, std::int64_t high) {
  Span& span = span_;
  std::int64_t dx = low - g_.originX, dy = row - g_.originY;
  span.color = color_.pixels + row * color_.pitch + low;
  span.depth = useDepth_ ? depth_.values + row * depth_.pitch + low : nullptr;
  span.count = int(high - low + 1);
  if (kind_.gouraud)
    for (int i = 0; i < 4; ++i) {
      span.diffuse[i] = diffuse_[i].at(dx, dy);
      span.diffuseStep[i] = diffuse_[i].stepX;
    }
  if (useDepth_) {
    span.z = z_.at(dx, dy) + FixedHalf;
    span.zStep = z_.stepX;
  }
  if (context_.textured && !kind_.perspective) {
    span.s = s_.at(dx, dy);
    span.t = t_.at(dx, dy);
    span.sStep = s_.stepX;
    span.tStep = t_.stepX;
  } else if (context_.textured) {
    span.q = q_.at(dx, dy);
    span.uq = uq_.at(dx, dy);
    span.vq = vq_.at(dx, dy);
    span.qStep = q_.stepX;
    span.uqStep = uq_.stepX;
    span.vqStep = vq_.stepX;
  }
  drawer_(span, context_);
}

} // namespace

void drawTriangles(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                   const Vertex* vertices, int count, Topology topology) {
  if (!color.pixels || color.width <= 0 || color.height <= 0 || count < 3) return;
  TriangleDrawer drawer(color, depth, state);
  switch (topology) {
  case Topology::TriangleList:
    for (int i = 0; i + 2 < count; i += 3) {
      const Vertex* v = vertices + i;
      if (i + 5 < count && drawer.drawPair({v, v + 1, v + 2}, {v + 3, v + 4, v + 5}, v[0])) {
        i += 3;
        continue;
      }
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

} // namespace raster
