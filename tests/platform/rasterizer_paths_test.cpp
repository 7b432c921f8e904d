// The specialised span loops (four or eight pixels at a time, attributes in SIMD lanes,
// grey and per-channel Gouraud, partial last blocks, skipped target reads) against the
// general per-pixel loop: every picture and depth buffer must come out identical.
// Every case runs with the eight-pixel loops allowed (where the processor has them)
// and with the four-pixel loops alone.
#include "platform/port/rasterspan.h"
#include "tests/platform/rasterizer_picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <tuple>
#include <vector>

namespace {

using rastertest::Picture;

// The depth buffer a case starts from at (x, y), or random values when empty.
using DepthField = std::function<std::uint16_t(int x, int y)>;

constexpr int Width = 83, Height = 57; // odd sizes: runs end anywhere in a block

// Draws the same vertices into two copies of one random starting picture, through the
// chosen loops and through the general loop, and reports whether the results agree.
void expectSameAsGeneralOnce(const raster::RasterState& state, const std::vector<raster::Vertex>& vertices,
                             raster::Topology topology, std::mt19937& random, const char* loops, const char* what,
                             int width, int height, const DepthField& field) {
  Picture fast(width, height), reference(width, height);
  for (std::size_t i = 0; i < fast.pixels.size(); ++i) {
    fast.pixels[i] = reference.pixels[i] = random();
    std::uint16_t depth = field ? field(int(i) % width, int(i) / width) : std::uint16_t(random());
    fast.depth[i] = reference.depth[i] = depth; // some pixels fail the test
  }
  rastertest::expectDrawnAsGeneral(fast, reference, state, vertices, topology, what, std::string(loops) + " loops");
}

// Draws through both loop widths (see the top of the file).
void expectSameAsGeneral(const raster::RasterState& state, const std::vector<raster::Vertex>& vertices,
                         raster::Topology topology, std::mt19937& random, const char* what, int width = Width,
                         int height = Height, const DepthField& field = {}) {
  std::mt19937 start = random;
  for (bool wide : {true, false}) {
    raster::detail::allowWideSpans(wide);
    std::mt19937 same = start; // the same starting picture for both widths
    expectSameAsGeneralOnce(state, vertices, topology, same, wide ? "wide" : "narrow", what, width, height, field);
    random = same;
  }
  raster::detail::allowWideSpans(true);
}

// The colour operations, outputs and depth settings that have specialised loops.
raster::RasterState randomFastState(std::mt19937& random) {
  auto pick = [&](int n) { return int(random() % unsigned(n)); };
  raster::RasterState st;
  switch (pick(4)) {
  case 0: st.op = raster::ColorOp::Modulate; break;
  case 1: st.op = raster::ColorOp::Add; break;
  case 2: st.op = raster::ColorOp::SelectArg1; break;
  default:
    st.op = raster::ColorOp::SelectArg1;
    st.arg1 = {raster::ArgSource::Diffuse};
    break;
  }
  int shift = pick(10); // 1 to 512 texels
  st.texture = raster::TextureView{rastertest::distinctTexels().data(), 1 << shift, 1 << pick(10), false};
  st.blendEnabled = pick(2) == 1;
  st.destBlend = pick(2) == 1 ? raster::BlendFactor::One : raster::BlendFactor::Zero;
  st.depthEnabled = pick(4) != 0;
  st.cull = raster::Cull::None;
  st.flatShading = pick(6) == 0;
  return st;
}

std::uint32_t randomColour(std::mt19937& random, int kind) {
  switch (kind) {
  case 0: return 0x00808080;                      // constant: the same for every vertex
  case 1: return std::uint32_t(random() % 256) * 0x010101u; // grey levels
  default: return std::uint32_t(random());        // every channel its own
  }
}

TEST(RasterPaths, SpecialisedLoopsDrawRandomMeshesExactlyAsTheGeneralLoop) {
  std::mt19937 random(20240601);
  for (int scene = 0; scene < 400; ++scene) {
    raster::RasterState st = randomFastState(random);
    auto real = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    int colours = int(random() % 3);
    double size = scene % 3 == 0 ? 6 : scene % 3 == 1 ? 25 : 70;
    double cx = real(0, Width), cy = real(0, Height);
    std::vector<raster::Vertex> v;
    for (int i = 0; i < 3 * 12; ++i) {
      float x = float(cx + real(-size, size)), y = float(cy + real(-size, size));
      float u = float(real(-4, 4)), t = float(real(-4, 4)), z = float(real(0, 1));
      v.push_back(rastertest::vertex(x, y, randomColour(random, colours), u, t, z));
    }
    expectSameAsGeneral(st, v, raster::Topology::TriangleList, random, "random triangles");
  }
}

// Rows of every length from 1 to 40 pixels: whole blocks, and last blocks of 1 to 3.
TEST(RasterPaths, RunsOfEveryLengthMatchTheGeneralLoop) {
  std::mt19937 random(7);
  for (int colours = 0; colours < 3; ++colours)
    for (bool depth : {false, true}) {
      raster::RasterState st;
      st.texture = raster::TextureView{rastertest::distinctTexels().data(), 512, 512, false};
      st.depthEnabled = depth;
      st.cull = raster::Cull::None;
      std::vector<raster::Vertex> v = {
          rastertest::vertex(1.5f, 2, randomColour(random, colours), 0.1f, 0.2f, 0.1f),
          rastertest::vertex(41.5f, 42, randomColour(random, colours), 3.7f, 1.1f, 0.9f),
          rastertest::vertex(1.5f, 42, randomColour(random, colours), -2.3f, 2.9f, 0.4f)};
      expectSameAsGeneral(st, v, raster::Topology::TriangleList, random, "staircase");
    }
}

// A strip of long thin triangles: steep and shallow slopes, runs far from the origin
// column of their triangle.
TEST(RasterPaths, ThinStripsMatchTheGeneralLoop) {
  std::mt19937 random(99);
  for (int colours = 0; colours < 3; ++colours) {
    raster::RasterState st;
    st.texture = raster::TextureView{rastertest::distinctTexels().data(), 256, 64, false};
    st.depthEnabled = true;
    st.cull = raster::Cull::None;
    std::vector<raster::Vertex> v;
    for (int i = 0; i < 30; ++i) {
      float x = float(i * 3 % Width), y = i % 2 ? float(Height - 1) : 0.5f;
      v.push_back(rastertest::vertex(x, y, randomColour(random, colours), float(i) * 0.37f, float(i % 2) * 5.3f,
                                     float(i % 5) * 0.2f));
    }
    expectSameAsGeneral(st, v, raster::Topology::TriangleStrip, random, "strip");
  }
}

// Quads and triangles flat along their rows (one colour, one texture row and one depth per
// row), as the show's sprites and text are: the loops that step only the texture column.
TEST(RasterPaths, FlatRunsMatchTheGeneralLoop) {
  std::mt19937 random(11);
  auto real = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  for (int scene = 0; scene < 200; ++scene) {
    raster::RasterState st = randomFastState(random);
    std::uint32_t colour = randomColour(random, int(random() % 3));
    std::vector<raster::Vertex> v;
    for (int i = 0; i < 6; ++i) {
      float x0 = float(real(-5, Width)), y0 = float(real(-5, Height)), size = float(real(1, 30));
      float u0 = float(real(-2, 2)), v0 = float(real(-2, 2)), z = float(real(0, 1));
      if (scene % 3 == 0) z = 0; // overlays and text: nearest of all, passing everywhere
      float u1 = u0 + float(real(-1, 1)), v1 = v0 + float(real(-1, 1));
      if (scene % 2 == 0) { // a sprite: two triangles tiling a rectangle
        for (auto [x, y, u, t] : {std::tuple{x0, y0, u0, v0}, {x0 + size, y0, u1, v0}, {x0, y0 + size, u0, v1},
                                  {x0 + size, y0, u1, v0}, {x0 + size, y0 + size, u1, v1}, {x0, y0 + size, u0, v1}})
          v.push_back(rastertest::vertex(x, y, colour, u, t, z));
      } else { // a triangle whose texture row and depth change only from row to row
        v.push_back(rastertest::vertex(x0, y0, colour, u0, v0, z));
        v.push_back(rastertest::vertex(x0 + size, y0 + float(real(-3, 3)), colour, u1, v0, z));
        v.push_back(rastertest::vertex(x0 + float(real(-9, 9)), y0 + size, colour, u0, v1, z));
      }
    }
    expectSameAsGeneral(st, v, raster::Topology::TriangleList, random, "flat runs");
  }
}

// Long slivers whose colour swings across their width: over the bounding box the colour
// planes reach far beyond 16 bits, so the lane loops finish runs one pixel at a time.
TEST(RasterPaths, SteepColourSliversMatchTheGeneralLoop) {
  std::mt19937 random(3);
  auto real = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  for (int scene = 0; scene < 40; ++scene) {
    raster::RasterState st = randomFastState(random);
    st.flatShading = false;
    std::vector<raster::Vertex> v;
    for (int i = 0; i < 4; ++i) {
      float x = float(real(0, 20)), y = float(real(0, 20)), length = float(real(200, 280)), width = float(real(0.6, 2));
      int kind = 1 + int(random() % 2); // grey or per channel
      v.push_back(rastertest::vertex(x, y, randomColour(random, kind), 0.1f, 0.2f, 0.3f));
      v.push_back(rastertest::vertex(x + length, y + length * 0.9f, randomColour(random, kind), 2.3f, 1.9f, 0.7f));
      v.push_back(rastertest::vertex(x + length, y + length * 0.9f + width, randomColour(random, kind), 0.4f, 3.1f, 0.5f));
    }
    expectSameAsGeneral(st, v, raster::Topology::TriangleList, random, "slivers", 300, 300);
  }
}

// Runs that end at the very end of the targets, whose buffers have nothing after them:
// the last block must not reach past either buffer (the address sanitizer checks).
TEST(RasterPaths, RunsEndingAtTheEndOfTheBuffersMatchTheGeneralLoop) {
  std::mt19937 random(5);
  for (int colours = 0; colours < 3; ++colours)
    for (int width : {5, 13, 30}) {
      raster::RasterState st;
      st.texture = raster::TextureView{rastertest::distinctTexels().data(), 64, 64, false};
      st.depthEnabled = colours != 1;
      st.cull = raster::Cull::None;
      float w = float(width), h = 9;
      std::vector<raster::Vertex> v = {
          rastertest::vertex(w + 4, h - 6, randomColour(random, colours), 0.1f, 0.2f, 0.3f),
          rastertest::vertex(w + 4, h + 3, randomColour(random, colours), 1.7f, 0.9f, 0.6f),
          rastertest::vertex(w - 7, h + 3, randomColour(random, colours), 0.4f, 1.4f, 0.2f)};
      expectSameAsGeneral(st, v, raster::Topology::TriangleList, random, "corner", width, 9);
    }
}

// Runs behind what is drawn but for one pixel, at every column (the last one at the very
// end of the buffers), and wholly hidden: the loops that skip hidden runs and blocks must
// still draw that one pixel, and nothing else.
TEST(RasterPaths, RunsHiddenButForOnePixelMatchTheGeneralLoop) {
  std::mt19937 random(11);
  const int width = 37, height = 6;
  for (int colours = 0; colours < 3; ++colours)
    for (int open = -1; open < width; ++open) {
      raster::RasterState st;
      st.texture = raster::TextureView{rastertest::distinctTexels().data(), 64, 64, false};
      st.op = raster::ColorOp::Add;
      st.depthEnabled = true;
      st.cull = raster::Cull::None;
      std::vector<raster::Vertex> v = {
          rastertest::vertex(-0.5f, -0.5f, randomColour(random, colours), 0.1f, 0.2f, 0.4f),
          rastertest::vertex(width + 0.5f, -0.5f, randomColour(random, colours), 1.7f, 0.9f, 0.6f),
          rastertest::vertex(-0.5f, height + 0.5f, randomColour(random, colours), 0.4f, 1.4f, 0.5f),
          rastertest::vertex(width + 0.5f, height + 0.5f, randomColour(random, colours), 2.1f, 1.3f, 0.45f)};
      v.push_back(v[1]);
      v.push_back(v[2]);
      auto field = [open](int x, int) { return std::uint16_t(x == open ? 65535 : 1000); };
      expectSameAsGeneral(st, v, raster::Topology::TriangleList, random, "one open column", width, height, field);
    }
}

// Overlapping boxes in a narrow range of depths, drawn in no order: most of the later
// boxes' runs lie wholly or partly behind the earlier ones, as in a field of cubes.
TEST(RasterPaths, OccludedBoxesMatchTheGeneralLoop) {
  std::mt19937 random(23);
  auto real = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
  for (int colours = 0; colours < 3; ++colours) {
    raster::RasterState st;
    st.texture = raster::TextureView{rastertest::distinctTexels().data(), 256, 256, false};
    st.op = raster::ColorOp::Add;
    st.depthEnabled = true;
    st.cull = raster::Cull::None;
    std::vector<raster::Vertex> v;
    for (int box = 0; box < 60; ++box) {
      float x = float(real(-10, 150)), y = float(real(-10, 90)), size = float(real(4, 60));
      float z = float(real(0.3, 0.5)), slope = float(real(-0.002, 0.002));
      auto corner = [&](float cx, float cy) {
        return rastertest::vertex(cx, cy, randomColour(random, colours), cx / 37, cy / 41, z + slope * (cx + cy));
      };
      raster::Vertex a = corner(x, y), b = corner(x + size, y + 3), c = corner(x - 2, y + size),
                     d = corner(x + size + 1, y + size + 2);
      for (const raster::Vertex& p : {a, b, c, b, c, d}) v.push_back(p);
    }
    expectSameAsGeneral(st, v, raster::Topology::TriangleList, random, "boxes", 160, 100,
                        [](int x, int y) { return std::uint16_t(40000 + 100 * ((x + y) % 7)); });
  }
}

} // namespace
