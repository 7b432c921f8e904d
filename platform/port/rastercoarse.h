#pragma once
// A coarse view of the depth buffer for one draw: the largest value of each 8 x 8 tile.
// A triangle whose nearest possible depth lies behind the largest value of every tile its
// bounding box touches fails the depth test at every pixel, so it is dropped before its
// planes are made or its edges walked. The show's cube field is drawn as one list in
// which most triangles lie wholly behind earlier ones.
//
// Only for tests under which a passing pixel can only lower or keep the stored value
// (LESS, LESSEQUAL, EQUAL): a tile's largest value then never rises during the draw, so a
// value taken earlier stays an upper bound and dropping a triangle is exact. Tiles are
// measured when first asked about and again after a draw may have lowered them.
#include "platform/port/rasterizer.h"

#include <cstdint>
#include <vector>

namespace raster::detail {

class CoarseDepth {
public:
  static constexpr int TileBits = 4;

  // Whether a draw under `func` with these writes may use it.
  static bool covers(DepthFunc func);

  // Starts a draw over `depth`: every tile is unmeasured. `func` must be covered.
  void begin(const DepthTarget& depth, DepthFunc func);

  // True when every pixel in columns x0..x1 and rows y0..y1 (inside the target) holds a
  // value that no incoming depth of at least `nearest` passes.
  bool hides(int x0, int y0, int x1, int y1, std::int64_t nearest);
  // The same for the pixels of that box a triangle with these corners (in pixels) may
  // cover: only the tiles under it, band by band, are asked about.
  bool hidesTriangle(const double (&x)[3], const double (&y)[3], int x0, int y0, int x1, int y1,
                     std::int64_t nearest);

  // The draw may have lowered values in the box: its tiles are measured again when next
  // asked about.
  void touched(int x0, int y0, int x1, int y1);

private:
  std::uint16_t measure(int tileX, int tileY); // the tile's largest value, now
  bool bandHides(int tileY, int x0, int x1, std::int64_t nearest);

  DepthTarget depth_;
  int tilesAcross_ = 0, tilesDown_ = 0;
  std::int64_t margin_ = 1; // nearest must exceed a tile's largest value by this much
  std::vector<std::uint16_t> largest_;
  // A tile's largest value is this draw's when its entry equals generation_: starting a
  // draw makes every earlier measurement stale without clearing the table.
  std::vector<std::uint32_t> measured_;
  std::uint32_t generation_ = 0;
};

// The smallest depth, in D16 units, the rasterizer can give any pixel of a triangle whose
// vertices have these depths (their smallest, less the planes' rounding).
std::int64_t nearestDepth(float z0, float z1, float z2);

} // namespace raster::detail
