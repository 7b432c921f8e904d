#include "platform/port/rasterquad.h"

#include "platform/port/rasterspan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace raster::detail {
namespace {

constexpr int CornerCount = 4; // bit 0: right, bit 1: bottom
constexpr unsigned AllCorners = 0xF;
constexpr double AffineTolerance = 1e-6; // relative: float noise in the caller's values

struct Corners {
  std::int64_t left, top, right, bottom;
  int of(std::int64_t x, std::int64_t y) const { return (x == right ? 1 : 0) | (y == bottom ? 2 : 0); }
  bool isCorner(std::int64_t x, std::int64_t y) const {
    return (x == left || x == right) && (y == top || y == bottom);
  }
};

bool sameValues(const Vertex& p, const Vertex& q) { return std::memcmp(&p, &q, sizeof(Vertex)) == 0; }

bool culled(const Vertex* const (&t)[3], Cull cull) {
  if (cull == Cull::None) return false;
  std::int64_t x0 = snap(t[0]->x), y0 = snap(t[0]->y);
  std::int64_t area = (snap(t[1]->x) - x0) * (snap(t[2]->y) - y0) - (snap(t[2]->x) - x0) * (snap(t[1]->y) - y0);
  return cull == Cull::Clockwise ? area > 0 : area < 0;
}

bool affine(double topLeft, double topRight, double bottomLeft, double bottomRight) {
  double predicted = topRight + bottomLeft - topLeft;
  double scale = std::max({std::fabs(topLeft), std::fabs(topRight), std::fabs(bottomLeft), 1.0});
  return std::fabs(predicted - bottomRight) <= AffineTolerance * scale;
}

// The corner values must lie on one plane; colours exactly, per channel.
bool affineAcross(const Vertex* const (&corner)[CornerCount], bool flatShading) {
  const Vertex &tl = *corner[0], &tr = *corner[1], &bl = *corner[2], &br = *corner[3];
  if (tl.rhw != tr.rhw || tl.rhw != bl.rhw || tl.rhw != br.rhw) return false;
  if (flatShading) {
    if (tl.diffuse != tr.diffuse || tl.diffuse != bl.diffuse || tl.diffuse != br.diffuse) return false;
  } else {
    for (int shift = 0; shift < 32; shift += 8) {
      auto c = [shift](const Vertex& v) { return int(v.diffuse >> shift & 0xFF); };
      if (c(tl) + c(br) != c(tr) + c(bl)) return false;
    }
  }
  return affine(tl.z, tr.z, bl.z, br.z) && affine(tl.u, tr.u, bl.u, br.u) && affine(tl.v, tr.v, bl.v, br.v);
}

// Cheap first test on the raw coordinates: a rectangle has two x and two y values.
bool twoValuesEach(const Vertex* const (&all)[6]) {
  float x1 = all[0]->x, y1 = all[0]->y, x2 = x1, y2 = y1;
  for (const Vertex* v : all) {
    if (v->x != x1) {
      if (x2 != x1 && v->x != x2) return false;
      x2 = v->x;
    }
    if (v->y != y1) {
      if (y2 != y1 && v->y != y2) return false;
      y2 = v->y;
    }
  }
  return true;
}

} // namespace

bool tilesRectangle(const Vertex* const (&a)[3], const Vertex* const (&b)[3], Cull cull, bool flatShading,
                    Rectangle& out) {
  const Vertex* const all[6] = {a[0], a[1], a[2], b[0], b[1], b[2]};
  if (!twoValuesEach(all)) return false;
  std::int64_t xs[6], ys[6];
  for (int i = 0; i < 6; ++i) {
    if (!std::isfinite(all[i]->x) || !std::isfinite(all[i]->y) || !std::isfinite(all[i]->z)) return false;
    xs[i] = snap(all[i]->x);
    ys[i] = snap(all[i]->y);
  }
  Corners box{*std::min_element(xs, xs + 6), *std::min_element(ys, ys + 6), *std::max_element(xs, xs + 6),
              *std::max_element(ys, ys + 6)};
  if (box.left == box.right || box.top == box.bottom) return false;
  const Vertex* corner[CornerCount] = {};
  unsigned used[2] = {0, 0};
  for (int i = 0; i < 6; ++i) {
    if (!box.isCorner(xs[i], ys[i])) return false;
    int id = box.of(xs[i], ys[i]);
    if (used[i / 3] & (1u << id)) return false; // a degenerate triangle
    used[i / 3] |= 1u << id;
    if (corner[id] && !sameValues(*corner[id], *all[i])) return false;
    corner[id] = all[i];
  }
  // Each triangle leaves out one corner; the two left out must be opposite.
  unsigned missing = (AllCorners ^ used[0]) | (AllCorners ^ used[1]);
  if (missing != 0b1001 && missing != 0b0110) return false;
  if (culled(a, cull) || culled(b, cull) || !affineAcross(corner, flatShading)) return false;
  out = Rectangle{box.left, box.top, box.right, box.bottom};
  return true;
}

} // namespace raster::detail
