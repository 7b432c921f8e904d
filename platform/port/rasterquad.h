#pragma once
// Recognising two triangles that exactly tile an axis-aligned rectangle with one set of
// attribute planes (every sprite, glyph and full-screen overlay is drawn so). The pair is
// then drawn as the rectangle: the same pixels and values (shared edges never cover a
// pixel twice or leave a gap), with half the setup and whole rows.
#include "platform/port/rasterizer.h"

#include <cstdint>

namespace raster::detail {

struct Rectangle {
  std::int64_t left, top, right, bottom; // snapped, 1/256 pixel; right and bottom edges excluded
};

// A cheap first test, inline for the meshes whose pairs never tile a rectangle: half of
// an axis-aligned rectangle has two corners on one column and two on one row, and not
// all three on one (a mesh's collapsed triangles, which draw nothing either way).
inline bool mayHalveRectangle(const Vertex& a, const Vertex& b, const Vertex& c) {
  return (a.x == b.x || b.x == c.x || a.x == c.x) && (a.y == b.y || b.y == c.y || a.y == c.y) &&
         (a.x != b.x || b.x != c.x) && (a.y != b.y || b.y != c.y);
}

// True when (a0, a1, a2) and (b0, b1, b2) are the two halves of one rectangle, neither is
// culled, shared corners carry the same values, and the attributes are affine across the
// whole rectangle (the fourth corner is what the first triangle's planes predict).
bool tilesRectangle(const Vertex* const (&a)[3], const Vertex* const (&b)[3], Cull cull, bool flatShading,
                    Rectangle& out);

} // namespace raster::detail
