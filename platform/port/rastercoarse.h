#pragma once
// A coarse view of the depths the first pass of a list drawn depth first has found so
// far (see rasterdepthfirst.h): the largest depth of each 16 x 16 tile. A triangle whose
// nearest possible depth lies behind the largest depth of every tile under it loses at
// every pixel, so it is dropped before its planes are made or its edges walked; drawn
// nearest first, most of the cube field's triangles are.
//
// The first pass only ever lowers a pixel's depth, so a tile's largest depth never rises
// during the draw: a value measured earlier stays an upper bound, and dropping a
// triangle is exact. Tiles are measured when first asked about and again after a
// triangle may have lowered them.
#include <cstdint>
#include <vector>

namespace raster::detail {

// The first pass's keys, one a pixel: the depth in the top 16 bits.
struct DepthKeys {
  const std::uint32_t* keys = nullptr;
  int width = 0, height = 0, pitch = 0;
};

class CoarseDepth {
public:
  static constexpr int TileBits = 4;

  // Starts a draw over `keys`: every tile is unmeasured.
  void begin(const DepthKeys& keys);

  // True when no fragment at least as far as `nearest` can win a pixel in columns x0..x1
  // and rows y0..y1 (inside the target): every depth there is nearer. An equal depth can
  // still win, by coming later in the list.
  bool hides(int x0, int y0, int x1, int y1, std::int64_t nearest);
  // The same for the pixels of that box a triangle with these corners (in pixels) may
  // cover: only the tiles under it, band by band, are asked about.
  bool hidesTriangle(const double (&x)[3], const double (&y)[3], int x0, int y0, int x1, int y1,
                     std::int64_t nearest);

  // Depths in the box may have been lowered: its tiles are measured again when next
  // asked about.
  void touched(int x0, int y0, int x1, int y1);
  // The same for the tiles under a triangle in that box.
  void touchedTriangle(const double (&x)[3], const double (&y)[3], int x0, int y0, int x1, int y1);

private:
  std::uint16_t measure(int tileX, int tileY); // the tile's largest depth, now
  bool bandHides(int tileY, int x0, int x1, std::int64_t nearest);
  void forget(int tileY, int x0, int x1); // the band's tiles over columns x0..x1
  template <class Visit>
  bool forEachBand(const double (&x)[3], const double (&y)[3], int x0, int y0, int x1, int y1, Visit visit) const;

  DepthKeys keys_;
  bool wide_ = false; // AVX2 measures the tiles
  int tilesAcross_ = 0, tilesDown_ = 0;
  std::vector<std::uint16_t> largest_;
  // A tile's largest depth is this draw's when its entry equals generation_: starting a
  // draw makes every earlier measurement stale without clearing the table.
  std::vector<std::uint32_t> measured_;
  std::uint32_t generation_ = 0;
};

// The smallest depth, in D16 units, the rasterizer can give any pixel of a triangle whose
// vertices have these depths (their smallest, less the planes' rounding).
std::int64_t nearestDepth(float z0, float z1, float z2);

} // namespace raster::detail
