// Which pixels a triangle covers: the top-left fill convention, shared edges, clipping
// to the target and to 0 <= z <= 1, culling and the primitive topologies.
#include "tests/platform/rasterizer_picture.h"

#include <cmath>
#include <limits>

namespace {

using namespace rastertest;
using raster::Topology;
using raster::Vertex;

constexpr std::uint32_t One = 0x000001; // one unit of blue: additive coverage counter

// Each covered pixel gets the diffuse colour added, so a pixel covered twice shows 2.
raster::RasterState additiveDiffuse() {
  raster::RasterState st;
  st.op = raster::ColorOp::SelectArg1;
  st.arg1 = {raster::ArgSource::Diffuse};
  st.cull = raster::Cull::None;
  st.blendEnabled = true;
  st.srcBlend = raster::BlendFactor::One;
  st.destBlend = raster::BlendFactor::One;
  return st;
}

void draw(Picture& p, const std::vector<Vertex>& v, Topology topology = Topology::TriangleList,
          const raster::RasterState& st = additiveDiffuse()) {
  raster::drawTriangles(p.color(), p.depthTarget(), st, v.data(), int(v.size()), topology);
}

TEST(RasterCoverage, QuadFromTenToThirtyTwoCoversColumnsTenToThirtyOne) {
  Picture p(40, 64);
  draw(p, quad(10, 20, 32, 57, One));
  expectPicture(p, [](int x, int y) { return (x >= 10 && x <= 31 && y >= 20 && y <= 56) ? One : 0u; });
}

TEST(RasterCoverage, MicrosoftExampleTrianglesCoverFifteenAndTenPixelsWithoutOverlap) {
  Picture p(8, 8);
  draw(p, {vertex(0, 0, 0x000001), vertex(5, 0, 0x000001), vertex(5, 5, 0x000001)});
  EXPECT_EQ(p.count(0x000001), 15);
  draw(p, {vertex(0, 5, 0x000100), vertex(0, 0, 0x000100), vertex(5, 5, 0x000100)});
  EXPECT_EQ(p.count(0x000001), 15);
  EXPECT_EQ(p.count(0x000100), 10);
  // The first owns the diagonal and the top row, the second the left column.
  expectPicture(p, [](int x, int y) {
    if (x > 4 || y > 4) return 0u;
    return x >= y ? 0x000001u : 0x000100u;
  });
}

// A rectangle cut into many triangles of both windings, with inner vertices off the
// pixel grid or exactly on pixel centres: every pixel whose centre is inside (by the
// fill convention) is covered exactly once.
void expectTiledRectangleCoveredOnce(float left, float top, float right, float bottom, float jitter) {
  constexpr int Columns = 7, Rows = 5;
  auto point = [&](int i, int j) {
    float x = left + (right - left) * float(i) / Columns, y = top + (bottom - top) * float(j) / Rows;
    if (i > 0 && i < Columns) x += jitter * float((i * 7 + j * 3) % 5 - 2);
    if (j > 0 && j < Rows) y += jitter * float((i * 5 + j * 11) % 5 - 2);
    return vertex(x, y, One);
  };
  std::vector<Vertex> v;
  for (int j = 0; j < Rows; ++j)
    for (int i = 0; i < Columns; ++i) {
      Vertex a = point(i, j), b = point(i + 1, j), c = point(i, j + 1), d = point(i + 1, j + 1);
      if ((i + j) % 2 == 0) {
        v.insert(v.end(), {a, b, d, a, c, d}); // opposite windings
      } else {
        v.insert(v.end(), {a, b, c, b, d, c});
      }
    }
  Picture p(64, 48);
  draw(p, v);
  int x0 = int(std::ceil(left)), x1 = int(std::ceil(right)) - 1;
  int y0 = int(std::ceil(top)), y1 = int(std::ceil(bottom)) - 1;
  expectPicture(p, [&](int x, int y) { return (x >= x0 && x <= x1 && y >= y0 && y <= y1) ? One : 0u; });
}

TEST(RasterCoverage, SharedEdgesOffTheGridLeaveNoGapAndNoDoubledPixel) {
  expectTiledRectangleCoveredOnce(3.3f, 2.7f, 57.6f, 41.2f, 0.37f);
}

TEST(RasterCoverage, SharedEdgesThroughPixelCentresLeaveNoGapAndNoDoubledPixel) {
  expectTiledRectangleCoveredOnce(4.0f, 3.0f, 60.0f, 43.0f, 1.0f);
}

TEST(RasterCoverage, FanAroundAPixelCentreCoversItOnce) {
  const float cx = 20, cy = 20;
  std::vector<Vertex> v = {vertex(cx, cy, One)};
  for (int k = 0; k <= 12; ++k) {
    double angle = 2 * 3.14159265358979 * (k % 12) / 12;
    v.push_back(vertex(float(std::round(cx + 15 * std::cos(angle))), float(std::round(cy + 15 * std::sin(angle))), One));
  }
  Picture p(40, 40);
  draw(p, v, Topology::TriangleFan);
  EXPECT_EQ(p.at(20, 20), One);
  EXPECT_EQ(p.count(2 * One), 0) << "a pixel was covered twice";
  for (int y = 8; y <= 32; ++y)
    for (int x = 8; x <= 32; ++x) {
      if (std::hypot(x - cx, y - cy) >= 12.5) continue;
      EXPECT_EQ(p.at(x, y), One) << "gap at " << x << "," << y;
    }
}

TEST(RasterCoverage, PartlyOffScreenTrianglesAreClippedToTheTarget) {
  Picture p(32, 24);
  draw(p, quad(-10, -10, 5, 5, One));
  draw(p, quad(28, 20, 1e6f, 3e5f, One));
  expectPicture(p, [](int x, int y) { return ((x < 5 && y < 5) || (x >= 28 && y >= 20)) ? One : 0u; });
}

TEST(RasterCoverage, TriangleFarBeyondTheTargetCoversEveryPixelOnce) {
  Picture p(32, 24);
  draw(p, {vertex(-1e6f, -1e6f, One), vertex(1.5e6f, -1e5f, One), vertex(-1e5f, 1.5e6f, One)});
  EXPECT_EQ(p.count(One), 32 * 24);
  // Beyond the guard band coordinates are held at its edge; still no pixel twice.
  Picture huge(32, 24);
  draw(huge, {vertex(-1e30f, -1e30f, One), vertex(1e30f, -1e30f, One), vertex(-1e30f, 1e30f, One),
              vertex(1e30f, -1e30f, One), vertex(1e30f, 1e30f, One), vertex(-1e30f, 3e30f, One)});
  EXPECT_EQ(huge.count(One), 32 * 24);
}

TEST(RasterCoverage, WhollyOffScreenOrBrokenTrianglesDrawNothing) {
  Picture p(32, 24);
  draw(p, quad(40, 0, 80, 20, One));
  draw(p, quad(-80, -40, -1, -1, One));
  draw(p, quad(0, 24, 32, 40, One)); // starts on the row just below the target
  float nan = std::numeric_limits<float>::quiet_NaN();
  draw(p, {vertex(nan, 0, One), vertex(30, 0, One), vertex(0, 20, One)});
  float inf = std::numeric_limits<float>::infinity();
  draw(p, {vertex(0, 0, One), vertex(inf, 0, One), vertex(0, 20, One)});
  EXPECT_EQ(p.count(0), 32 * 24);
}

TEST(RasterCoverage, DepthOutsideZeroToOneIsClipped) {
  // z runs from -0.5 at x = 0 to 1.5 at x = 40: only columns 10 to 30 have 0 <= z <= 1.
  Picture p(48, 4);
  std::vector<Vertex> v = {vertex(0, 0, One, 0, 0, -0.5f), vertex(40, 0, One, 0, 0, 1.5f), vertex(0, 4, One, 0, 0, -0.5f),
                           vertex(40, 0, One, 0, 0, 1.5f), vertex(40, 4, One, 0, 0, 1.5f), vertex(0, 4, One, 0, 0, -0.5f)};
  draw(p, v);
  expectPicture(p, [](int x, int) { return (x >= 10 && x <= 30) ? One : 0u; });
  Picture far(8, 8);
  draw(far, quad(0, 0, 8, 8, One, 0, 0, 1, 1, 1.01f));
  EXPECT_EQ(far.count(0), 64);
}

TEST(RasterCoverage, StripKeepsOneWindingSoCullingTakesBothTrianglesOrNone) {
  std::vector<Vertex> strip = {vertex(0, 0, One), vertex(8, 0, One), vertex(0, 8, One), vertex(8, 8, One)};
  raster::RasterState st = additiveDiffuse();
  st.cull = raster::Cull::CounterClockwise; // the default: clockwise triangles stay
  Picture kept(8, 8);
  draw(kept, strip, Topology::TriangleStrip, st);
  EXPECT_EQ(kept.count(One), 64);
  st.cull = raster::Cull::Clockwise;
  Picture culled(8, 8);
  draw(culled, strip, Topology::TriangleStrip, st);
  EXPECT_EQ(culled.count(0), 64);
}

TEST(RasterCoverage, ListCullsEachTriangleByItsOwnWinding) {
  raster::RasterState st = additiveDiffuse();
  st.cull = raster::Cull::CounterClockwise;
  Picture p(8, 8);
  // The upper-left half is clockwise on screen, the lower-right half counter-clockwise.
  draw(p, {vertex(0, 0, One), vertex(8, 0, One), vertex(0, 8, One), vertex(8, 0, One), vertex(0, 8, One), vertex(8, 8, One)},
       Topology::TriangleList, st);
  expectPicture(p, [](int x, int y) { return x + y < 8 ? One : 0u; });
}

TEST(RasterCoverage, StripOfManyTrianglesCoversItsBandOnce) {
  std::vector<Vertex> strip;
  for (int i = 0; i <= 10; ++i) {
    strip.push_back(vertex(2.5f + 5 * i, 3, One));
    strip.push_back(vertex(2.5f + 5 * i, 9, One));
  }
  Picture p(64, 12);
  draw(p, strip, Topology::TriangleStrip);
  expectPicture(p, [](int x, int y) { return (x >= 3 && x <= 52 && y >= 3 && y <= 8) ? One : 0u; });
}

} // namespace
