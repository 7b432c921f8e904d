// Long opaque lists drawn depth first (a depth-only pass nearest first, then the usual
// pass against the settled depths) and the coarse depth that drops hidden triangles:
// both must leave exactly the picture and depth buffer one plain pass leaves.
#include "platform/port/rastercoarse.h"
#include "platform/port/rasterdepthfirst.h"
#include "platform/port/rasterspan.h"
#include "tests/platform/rasterizer_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using rastertest::Picture;

constexpr int Width = 160, Height = 100;

// The state the cube field draws with: the texture plus the diffuse colour, replacing.
raster::RasterState opaqueState() {
  raster::RasterState st;
  st.texture = raster::TextureView{rastertest::distinctTexels().data(), 64, 64, false};
  st.op = raster::ColorOp::Add;
  st.depthEnabled = true;
  st.cull = raster::Cull::None;
  return st;
}

// Draws through drawTriangles and through the general loop alone (one plain pass) from
// the same start, and compares pictures and depths.
void expectSameAsOnePass(const raster::RasterState& state, const std::vector<raster::Vertex>& v,
                         std::uint16_t startDepth, const char* what) {
  Picture fast(Width, Height, 0x00123456), reference(Width, Height, 0x00123456);
  std::fill(fast.depth.begin(), fast.depth.end(), startDepth);
  std::fill(reference.depth.begin(), reference.depth.end(), startDepth);
  rastertest::expectDrawnAsGeneral(fast, reference, state, v, raster::Topology::TriangleList, what, "depth first");
}

// Whether a list drawn on a Width x Height target with a depth buffer goes depth first.
bool goesDepthFirst(const raster::RasterState& state, const std::vector<raster::Vertex>& v,
                    raster::Topology topology = raster::Topology::TriangleList) {
  static std::uint16_t someDepth;
  return raster::detail::drawsDepthFirst({nullptr, Width, Height, Width}, {&someDepth, Width, Height, Width}, state,
                                         v.data(), int(v.size()), topology);
}

// A field of boxes (two triangles each, not axis-aligned) in a narrow range of depths,
// drawn in no order, with exact copies of earlier boxes in other colours (ties: the
// later copy must win), boxes reaching past the depth range, off the target and
// collapsed, and axis-aligned quads that are drawn as rectangles.
std::vector<raster::Vertex> boxField(std::mt19937& random, int boxes) {
  auto real = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  std::vector<raster::Vertex> v;
  for (int box = 0; box < boxes; ++box) {
    int kind = int(random() % 10);
    if (kind == 0 && !v.empty()) { // a copy of an earlier box, recoloured
      std::size_t from = std::size_t(random() % (v.size() / 6)) * 6;
      std::uint32_t colour = std::uint32_t(random());
      for (int k = 0; k < 6; ++k) {
        raster::Vertex copy = v[from + std::size_t(k)];
        copy.diffuse = colour ^ std::uint32_t(k);
        v.push_back(copy);
      }
      continue;
    }
    float x = float(real(-20, Width + 10)), y = float(real(-20, Height + 10)), size = float(real(3, 45));
    float z = float(real(0.3, 0.5)), slope = float(real(-0.003, 0.003));
    if (kind == 1) z = float(real(-0.1, 1.1)); // reaches past the depth range
    if (kind == 2) size = 0;                   // collapsed
    bool aligned = kind == 3;
    auto corner = [&](float cx, float cy) {
      return rastertest::vertex(cx, cy, std::uint32_t(random()), cx / 23, cy / 29, z + slope * (cx - x + cy - y));
    };
    float skew = aligned ? 0.0f : 3.0f;
    raster::Vertex a = corner(x, y), b = corner(x + size, y + skew), c = corner(x - skew, y + size),
                   d = corner(x + size - (aligned ? 0 : 1), y + size + (aligned ? 0 : 2));
    if (aligned) { // one colour: a rectangle's attributes must be affine over it
      for (raster::Vertex* p : {&a, &b, &c, &d}) p->diffuse = 0x00406080;
      // Off the first triangle's plane by float noise, which a rectangle allows: its
      // second half must be drawn with the first half's planes in both passes.
      d.z += random() % 2 ? 9e-7f : -9e-7f;
    }
    for (const raster::Vertex& p : {a, b, c, b, c, d}) v.push_back(p);
  }
  return v;
}

TEST(RasterDepthFirst, OpaqueBoxFieldsMatchOnePass) {
  std::mt19937 random(77);
  for (int field = 0; field < 12; ++field) {
    std::vector<raster::Vertex> v = boxField(random, 150 + int(random() % 200));
    raster::RasterState st = opaqueState();
    if (field % 3 == 1) st.blendEnabled = true, st.srcBlend = raster::BlendFactor::One, st.destBlend = raster::BlendFactor::Zero;
    if (field % 4 == 2) st.flatShading = true;
    ASSERT_TRUE(goesDepthFirst(st, v)) << "field " << field << " would not be drawn depth first";
    expectSameAsOnePass(st, v, field % 2 ? 0xFFFF : 30000, "box field");
  }
}

// One box drawn again and again at the same depth in new colours: every copy passes a
// plain LESSEQUAL pass, and the last copy is what stays.
TEST(RasterDepthFirst, TheLastOfEqualDepthsWins) {
  std::vector<raster::Vertex> v;
  for (int copy = 0; copy < 400; ++copy) {
    std::uint32_t colour = 0x00010203u * std::uint32_t(copy % 80);
    for (auto [x, y] : {std::pair{5.f, 5.f}, {150.f, 9.f}, {8.f, 95.f}, {150.f, 9.f}, {8.f, 95.f}, {154.f, 97.f}})
      v.push_back(rastertest::vertex(x, y, colour, x / 40, y / 40, 0.25f + x / 4000));
  }
  raster::RasterState st = opaqueState();
  ASSERT_TRUE(goesDepthFirst(st, v));
  expectSameAsOnePass(st, v, 0xFFFF, "copies at one depth");
}

// Only opaque LESSEQUAL lists with depth writes that cover the target several times go
// depth first: a blend that reads the target, another test, no writes, a strip or a
// sparse list would each come out differently or gain nothing.
TEST(RasterDepthFirst, OnlyLongOpaqueListsThatCoverTheTargetGoDepthFirst) {
  std::mt19937 random(5);
  std::vector<raster::Vertex> v = boxField(random, 300);
  auto goes = [](const raster::RasterState& st, const std::vector<raster::Vertex>& list,
                 raster::Topology topology = raster::Topology::TriangleList) { return goesDepthFirst(st, list, topology); };
  raster::RasterState st = opaqueState();
  ASSERT_TRUE(goes(st, v));
  raster::RasterState adding = st;
  adding.blendEnabled = true, adding.destBlend = raster::BlendFactor::One;
  raster::RasterState readsTarget = st;
  readsTarget.blendEnabled = true, readsTarget.srcBlend = raster::BlendFactor::DestColor;
  raster::RasterState less = st, noWrites = st, noDepth = st;
  less.depthFunc = raster::DepthFunc::Less;
  noWrites.depthWrite = false;
  noDepth.depthEnabled = false;
  for (const raster::RasterState& other : {adding, readsTarget, less, noWrites, noDepth}) EXPECT_FALSE(goes(other, v));
  EXPECT_FALSE(goes(st, v, raster::Topology::TriangleStrip));
  EXPECT_FALSE(raster::detail::drawsDepthFirst({nullptr, Width, Height, Width}, {}, st, v.data(), int(v.size()),
                                               raster::Topology::TriangleList)); // no depth buffer
  std::vector<raster::Vertex> few(v.begin(), v.begin() + 3 * 200); // under 256 triangles
  EXPECT_FALSE(goes(st, few));
  std::vector<raster::Vertex> small = v; // the same count, each a tenth of the size
  for (std::size_t i = 0; i < small.size(); ++i) {
    const raster::Vertex& a = v[i - i % 3];
    small[i].x = a.x + (v[i].x - a.x) / 10, small[i].y = a.y + (v[i].y - a.y) / 10;
  }
  EXPECT_FALSE(goes(st, small));
}

// The first pass's keys for depths: no unit's yet.
std::vector<std::uint32_t> keysOf(const std::vector<std::uint16_t>& depths) {
  std::vector<std::uint32_t> keys(depths.size());
  for (std::size_t i = 0; i < depths.size(); ++i) keys[i] = std::uint32_t(depths[i]) << 16 | raster::detail::NoUnitKey;
  return keys;
}

// The coarse depth of the keys: a box is hidden only when every depth in it is nearer
// than the incoming depth (an equal one may still win, coming later), and depths lowered
// later count once the box is marked touched.
TEST(RasterCoarseDepth, HidesOnlyBehindEveryDepthOfTheBox) {
  std::vector<std::uint16_t> depths(std::size_t(Width) * Height, 1000);
  depths[std::size_t(37) * Width + 71] = 5000; // one far value
  std::vector<std::uint32_t> keys = keysOf(depths);
  raster::detail::CoarseDepth coarse;
  coarse.begin({keys.data(), Width, Height, Width});
  EXPECT_TRUE(coarse.hides(0, 0, 60, 30, 1001));
  EXPECT_FALSE(coarse.hides(0, 0, 60, 30, 1000));
  EXPECT_FALSE(coarse.hides(70, 36, 72, 38, 4000));
  EXPECT_TRUE(coarse.hides(70, 36, 72, 38, 5001));
  EXPECT_FALSE(coarse.hides(0, 0, Width, 10, 60000)); // reaches past the buffer
  EXPECT_FALSE(coarse.hides(0, 0, 5, 5, -1));         // in front of the near plane

  EXPECT_FALSE(coarse.hides(64, 32, 79, 47, 2000));
  keys[std::size_t(37) * Width + 71] = 900u << 16; // lowered by a triangle
  EXPECT_FALSE(coarse.hides(64, 32, 79, 47, 2000)) << "the old measure stands until the box is touched";
  coarse.touched(71, 37, 71, 37);
  EXPECT_TRUE(coarse.hides(64, 32, 79, 47, 2000));
  coarse.begin({keys.data(), Width, Height, Width}); // a new draw measures afresh
  keys[std::size_t(37) * Width + 71] = 7000u << 16 | 5;
  EXPECT_FALSE(coarse.hides(64, 32, 79, 47, 2000));

  // The partial tiles at the right and bottom edges of an odd-sized buffer.
  std::vector<std::uint16_t> odd(std::size_t(37) * 21, 100);
  odd.back() = 700;
  std::vector<std::uint32_t> oddKeys = keysOf(odd);
  coarse.begin({oddKeys.data(), 37, 21, 37});
  EXPECT_FALSE(coarse.hides(30, 15, 36, 20, 600));
  EXPECT_FALSE(coarse.hides(30, 15, 36, 19, 600)) << "the tile holds row 20 too";
  EXPECT_TRUE(coarse.hides(0, 0, 36, 20, 701));
}

// Against keys near everywhere but in one corner, a triangle is hidden by the tiles it
// covers, whatever lies in the corners of its box it misses.
TEST(RasterCoarseDepth, ATriangleIsJudgedByTheTilesUnderIt) {
  std::vector<std::uint16_t> depths(std::size_t(Width) * Height, 100);
  for (int y = 60; y < Height; ++y)
    for (int x = 0; x < 40; ++x) depths[std::size_t(y) * Width + x] = 60000; // far, off the diagonal
  std::vector<std::uint32_t> keys = keysOf(depths);
  raster::detail::CoarseDepth coarse;
  coarse.begin({keys.data(), Width, Height, Width});
  const double x[3] = {0, 159, 159}, y[3] = {0, 0, 99}; // above the diagonal: misses the far corner
  EXPECT_TRUE(coarse.hidesTriangle(x, y, 0, 0, 159, 99, 200));
  EXPECT_FALSE(coarse.hides(0, 0, 159, 99, 200)) << "the box itself holds far depths";
  const double x2[3] = {0, 159, 0}, y2[3] = {0, 99, 99}; // below it: covers the far corner
  EXPECT_FALSE(coarse.hidesTriangle(x2, y2, 0, 0, 159, 99, 200));
}

// No pixel the rasterizer draws for a triangle lies nearer than nearestDepth says.
TEST(RasterCoarseDepth, NoPixelIsNearerThanTheTrianglesNearestDepth) {
  std::mt19937 random(11);
  auto real = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  raster::RasterState st = opaqueState();
  for (int n = 0; n < 300; ++n) {
    Picture picture(Width, Height);
    raster::Vertex v[3];
    for (raster::Vertex& p : v) {
      p = rastertest::vertex(float(real(-30, Width + 30)), float(real(-30, Height + 30)));
      p.z = n % 5 == 0 ? float(real(0, 1e-4)) : float(real(0, 1));
    }
    raster::detail::drawTrianglesGeneral(picture.color(), picture.depthTarget(), st, v, 3, raster::Topology::TriangleList);
    std::int64_t nearest = raster::detail::nearestDepth(v[0].z, v[1].z, v[2].z);
    std::uint16_t drawnNearest = *std::min_element(picture.depth.begin(), picture.depth.end());
    if (drawnNearest != 0xFFFF) {
      EXPECT_GE(std::int64_t(drawnNearest), nearest) << "triangle " << n;
    }
  }
  EXPECT_EQ(raster::detail::nearestDepth(-0.1f, 0.5f, 0.5f), -1); // in front of the near plane: hides nothing
}

} // namespace
