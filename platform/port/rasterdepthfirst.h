#pragma once
// Long lists of opaque triangles under LESSEQUAL with depth writes (the cube field: 3780
// triangles covering the screen seven times over) are drawn in two passes instead of
// one. A plain pass leaves at each pixel the nearest depth and the colour of the last
// fragment in list order at that depth. The first pass finds that fragment, touching
// neither colours nor depths: in any order, so nearest first, and with the coarse depth
// (rastercoarse.h) most triangles are found wholly behind and dropped unwalked. The
// second pass shades, triangle by triangle in list order, the pixels each one won and
// nothing else, with no depth test, and the depths are set from the first pass's. Where
// the output reads the target (blending), every passing fragment would count, so those
// draws keep one pass.
#include "platform/port/rasterquad.h"
#include "platform/port/rasterspan.h"

#include <cstdint>
#include <vector>

namespace raster::detail {

// Whether drawTriangles draws these triangles so: a long list of opaque triangles under
// LESSEQUAL with depth writes that covers the target several times over.
bool drawsDepthFirst(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                     const Vertex* vertices, int count, Topology topology);

// A triangle of the list, or a pair of them that tiles a rectangle and is drawn as one.
struct ListUnit {
  std::int32_t first; // index of its first vertex
  bool pair;
  Rectangle rectangle; // when a pair
};

// Whether two triangles are drawn as the rectangle they tile (see rasterquad.h).
bool pairedRectangle(const Vertex* const (&first)[3], const Vertex* const (&second)[3], const RasterState& state,
                     Rectangle& rectangle);

// The list's units in list order, pairs found as a plain pass finds them.
void listUnits(const Vertex* vertices, int count, const RasterState& state, std::vector<ListUnit>& units);

// The units' indices, nearest first (to a 256th of the depth range).
void nearestFirst(const std::vector<ListUnit>& units, const Vertex* vertices, std::vector<std::int32_t>& order);

// The first pass's key of each pixel (see DepthKeys): the depth in the top half, and in
// the low half 0xFFFE less the index of the unit that gave it, or 0xFFFF for the depth
// the draw started from. The smallest key wins: the nearest depth and, among equals, the
// unit latest in the list, as a plain pass's last passing fragment.
constexpr std::uint32_t NoUnitKey = 0xFFFF;
inline std::uint32_t unitKey(int unit) { return std::uint32_t(0xFFFE - unit); }

// Keys for the depth buffer as it stands, laid out as it is, with room past the end for a
// last, partial block of eight.
void startKeys(const DepthTarget& depth, std::vector<std::uint32_t>& keys);

// After the first pass: the depth buffer as a plain pass leaves it, each pixel's depth
// that of its key (the winner's, or the one it started with).
void finishDepths(const std::vector<std::uint32_t>& keys, const DepthTarget& depth);

// One run of pixels a unit won.
struct OwnedRun {
  std::int32_t row, low, high;
};

// After the first pass: each unit's runs, read from the keys over the colour target.
class OwnedRuns {
public:
  void collect(const std::vector<std::uint32_t>& keys, int pitch, int width, int height, int unitCount);
  // Unit u's runs, rows ascending and left to right within a row.
  const OwnedRun* begin(int unit) const { return runs_.data() + start_[std::size_t(unit)]; }
  const OwnedRun* end(int unit) const { return runs_.data() + start_[std::size_t(unit) + 1]; }

private:
  std::vector<OwnedRun> found_, runs_;
  std::vector<std::int32_t> owner_, start_;
};

// Draws the list so (drawTriangles, when drawsDepthFirst says).
void drawListDepthFirst(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                        const Vertex* vertices, int count);

// The most units a list drawn so may have: their keys are 16-bit.
constexpr int DepthFirstMostUnits = 0xFFFF;

} // namespace raster::detail
