#include "platform/port/rasterizer.h"

#include "platform/port/rastertriangle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace raster::detail {

thread_local std::vector<std::int32_t> TriangleDrawer::runLow_, TriangleDrawer::runHigh_;
thread_local CoarseDepth TriangleDrawer::coarse_;

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
  Rectangle rectangle;
  if (!pairedRectangle(first, second, state_, rectangle)) return false;
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

// The two passes of a list drawn depth first (rasterdepthfirst.cpp drives them) stay in
// this file with the setup they share, which the compiler then inlines into them.
void TriangleDrawer::drawDepth(const Vertex& v0, const Vertex& v1, const Vertex& v2, std::uint32_t* keys,
                               std::uint32_t ownerKey) {
  if (!finiteVertex(v0) || !finiteVertex(v1) || !finiteVertex(v2)) return;
  SnappedVertex p[3] = {{snap(v0.x), snap(v0.y), &v0}, {snap(v1.x), snap(v1.y), &v1}, {snap(v2.x), snap(v2.y), &v2}};
  if (!setUp(p)) return;
  const double x[3] = {p[0].x / SubPixelScale, p[1].x / SubPixelScale, p[2].x / SubPixelScale};
  const double y[3] = {p[0].y / SubPixelScale, p[1].y / SubPixelScale, p[2].y / SubPixelScale};
  const int x0 = int(g_.originX), y0 = int(firstRow_), x1 = int(lastColumn_), y1 = int(lastRow_);
  if (coarse_.hidesTriangle(x, y, x0, y0, x1, y1, nearestDepth(v0.z, v1.z, v2.z))) return;
  makeDepthPlane(*p[0].source, *p[1].source, *p[2].source);
  drawDepthRuns([&](auto visit) { forEachRun(p, visit); }, keys, ownerKey);
  coarse_.touchedTriangle(x, y, x0, y0, x1, y1);
}

void TriangleDrawer::drawDepthRectangle(const Vertex* const (&first)[3], const Vertex* const (&second)[3],
                                        const Rectangle& rectangle, std::uint32_t* keys,
                                        std::uint32_t ownerKey) {
  SnappedVertex p[3];
  for (int i = 0; i < 3; ++i) p[i] = {snap(first[i]->x), snap(first[i]->y), first[i]};
  if (!setUp(p)) return;
  std::int64_t nearest = std::min(nearestDepth(first[0]->z, first[1]->z, first[2]->z),
                                  nearestDepth(second[0]->z, second[1]->z, second[2]->z));
  const int x0 = int(g_.originX), y0 = int(firstRow_), x1 = int(lastColumn_), y1 = int(lastRow_);
  if (coarse_.hides(x0, y0, x1, y1, nearest)) return;
  makeDepthPlane(*p[0].source, *p[1].source, *p[2].source);
  drawDepthRuns([&](auto visit) { forEachRectangleRun(rectangle, visit); }, keys, ownerKey);
  coarse_.touched(x0, y0, x1, y1);
}

// The runs are drawn as the triangle's own are, in as few calls as rows allow (one run a
// row each).
void TriangleDrawer::drawOwned(const Vertex* const (&triangle)[3], const OwnedRun* begin,
                               const OwnedRun* end) {
  SnappedVertex p[3];
  for (int i = 0; i < 3; ++i) p[i] = {snap(triangle[i]->x), snap(triangle[i]->y), triangle[i]};
  if (begin == end || !setUp(p)) return;
  makePlanes(p, *triangle[0]);
  setSteps();
  chooseDrawer();
  if (!runsDrawer_) {
    for (const OwnedRun* run = begin; run != end; ++run) fillSpan(run->row, run->low, run->high);
    return;
  }
  while (begin != end) {
    const OwnedRun* batchEnd = begin + 1;
    while (batchEnd != end && batchEnd->row > batchEnd[-1].row) ++batchEnd;
    drawRuns([&](auto visit) {
      for (const OwnedRun* run = begin; run != batchEnd; ++run) visit(run->row, run->low, run->high);
    });
    begin = batchEnd;
  }
}

void TriangleDrawer::chooseDrawer() {
  SpanDrawer& chosen = drawers_[kind_.gouraud][kind_.perspective][kind_.flat];
  if (!chosen) chosen = generalOnly_ ? generalSpanDrawer(kind_) : chooseSpanDrawer(context_, kind_);
  drawer_ = chosen;
  needsAlpha_ = kind_.gouraud && chosen == generalSpanDrawer(kind_);
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
    RunsDrawer& runs = runsDrawers_[kind_.gouraud][kind_.perspective][kind_.flat];
    if (!chosenYet) runs = chooseRunsDrawer(context_, kind_), chosenYet = true;
    runsDrawer_ = runs;
  }
  prepareSteps(context_, kind_, span_, runsDrawer_ != nullptr);
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
    s_ = g_.fixedPlane(ua * width, ub * width, uc * width, SubTexelHalf);
    t_ = g_.fixedPlane(va * height, vb * height, vc * height, SubTexelHalf);
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

// Run by run, asking for the memory a few rows ahead of the one being drawn.
void TriangleDrawer::walkRows(SnappedVertex (&p)[3]) {
  forEachRun(p, [&](std::int64_t row, std::int64_t low, std::int64_t high) {
    if (row + PrefetchRows <= lastRow_) prefetchRow(row + PrefetchRows, low);
    fillSpan(row, low, high);
  });
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

} // namespace raster::detail

namespace raster {
namespace {

using detail::TriangleDrawer;

// drawTriangles, with the choice of span loops for tests (see drawTrianglesGeneral).
void drawWith(const ColorTarget& color, const DepthTarget& depth, const RasterState& state, const Vertex* vertices,
              int count, Topology topology, bool generalOnly) {
  if (!color.pixels || color.width <= 0 || color.height <= 0 || count < 3) return;
  if (!generalOnly && detail::drawsDepthFirst(color, depth, state, vertices, count, topology))
    return detail::drawListDepthFirst(color, depth, state, vertices, count);
  TriangleDrawer drawer(color, depth, state, generalOnly);
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
