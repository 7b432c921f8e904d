// The terrain: the show's height field assembled cell by cell, and a one-cell mesh of
// chosen points for the turn, the projection and the depth shade: a point on the vertical
// axis only feels the fixed tilt, so it lands where the tilt alone puts it, and a point
// (100, 0, 0) shows the turning angle on the screen. The fallback size and what a refused
// lock, a refused draw and a mesh without arrays do.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <numbers>

#include "direction/timeline.h"
#include "scenes/sceneinputs.h"
#include "scenes/terrain.h"
#include "tests/scenes/scenetest.h"

namespace {

constexpr std::size_t TerrainVertices = 9126;
constexpr float Pixel = 1e-3f;

// Two by two points: the origin, (100, 0, 0), and two on the vertical axis far below and
// far above the origin (the tilt takes them nearest to and farthest from the viewer).
struct OneCellMesh {
  TaggedPoint points[4] = {{0, 0, 0, 0, 0, 0}, {100, 0, 0, 0, 0, 0}, {0, -800, 0, 0, 0, 0}, {0, 800, 0, 0, 0, 0}};
  TaggedPoint screen[4] = {};
  ScreenVertex vertices[24] = {};
  std::uint32_t colours[4] = {};
  HeightMesh mesh{points, screen, vertices, colours, 2, 2, 200.0f, 200.0f};
  OneCellMesh() {
    for (ScreenVertex& v : vertices) v.rhw = 1.0f;
    for (int i = 0; i < 4; ++i) {
      points[i].tag0 = std::bit_cast<std::uint32_t>(0.25f * float(i));
      points[i].tag1 = std::bit_cast<std::uint32_t>(0.5f + 0.125f * float(i));
    }
  }
};

class Terrain : public SceneTest {
protected:
  std::vector<ScreenVertex> landscapeAt(DWORD t, HeightMesh& mesh, port::CapturedFrame* picture = nullptr) {
    HRESULT result = E_FAIL;
    const auto draws = recordFrame([&] { result = drawTerrainScene(t, mesh); }, picture);
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(draws.size(), 1u);
    if (draws.size() != 1) return {};
    EXPECT_EQ(draws[0].primitiveType, int(D3DPT_TRIANGLELIST));
    EXPECT_EQ(draws[0].texture, stoneTexture);
    const auto v = verticesOf(draws[0]);
    EXPECT_EQ(draws[0].primitives * 3, v.size());
    return v;
  }
};

// The angle the point (100, 0, 0) shows: it turns to (100 cos a, 100 sin a cos 1, ...) on
// one depth, so the screen offsets keep the ratio of cos a to sin a cos 1.
double shownAngle(const TaggedPoint& screen, int centreX, int centreY) {
  return std::atan2((screen.y - centreY) / std::cos(1.0), screen.x - centreX);
}

double wrapped(double radians) { return std::remainder(radians, 2 * std::numbers::pi); }

TEST_F(Terrain, ShowsMeshIsDrawnCellByCell) {
  const auto v = landscapeAt(0, demoMesh);
  ASSERT_EQ(v.size(), TerrainVertices);
  // Texture u follows the row (2 j / 40), v the column. A cell is the points i, i + 40,
  // i + 1, then i + 1, i + 40, i + 41.
  const float step = 2.0f / 40;
  const float u[6] = {0, step, 0, 0, step, step}, vv[6] = {0, 0, step, step, 0, step};
  for (int k = 0; k < 6; ++k) {
    EXPECT_FLOAT_EQ(v[std::size_t(k)].u, u[k]) << k;
    EXPECT_FLOAT_EQ(v[std::size_t(k)].v, vv[k]) << k;
  }
  EXPECT_EQ(v[1].x, demoMesh.screen[40].x);
  EXPECT_EQ(v[2].y, demoMesh.screen[1].y);
  EXPECT_EQ(v[5].z, demoMesh.screen[41].z);
  EXPECT_EQ(v[5].diffuse, demoMesh.colours[41]);
  // The last vertex is point (39, 39).
  EXPECT_FLOAT_EQ(v.back().u, 1.95f);
  EXPECT_FLOAT_EQ(v.back().v, 1.95f);
  EXPECT_EQ(v.back().x, demoMesh.screen[1599].x);
  for (const ScreenVertex& s : v) ASSERT_EQ(s.rhw, 1.0f);
}

TEST_F(Terrain, TurnIsFortyRadiansAtClockZeroAndOneMoreEveryFourSecondsWithTheSwing) {
  OneCellMesh cell;
  landscapeAt(0, cell.mesh);
  EXPECT_NEAR(wrapped(shownAngle(cell.screen[1], 320, 240) - 40.0), 0.0, 1e-4);
  landscapeAt(4000, cell.mesh);
  EXPECT_NEAR(wrapped(shownAngle(cell.screen[1], 320, 240) - (41.0 + 20 * std::sin(4000.0 / 14000))), 0.0, 1e-4);
}

TEST_F(Terrain, OriginLandsOnTheCentreAndNearnessShadesFromWhiteToBlack) {
  OneCellMesh cell;
  const auto v = landscapeAt(12345, cell.mesh);
  ASSERT_EQ(v.size(), 6u);
  // The origin: screen centre, depth 1000 / 2000, dark 0.5 x 350 - 60 = 115, grey 140.
  EXPECT_NEAR(cell.screen[0].x, 320.0f, Pixel);
  EXPECT_NEAR(cell.screen[0].y, 240.0f, Pixel);
  EXPECT_FLOAT_EQ(cell.screen[0].z, 0.5f);
  EXPECT_EQ(cell.colours[0], 0x008C8C8Cu);
  // (0, -800, 0) tilts to (0, -800 sin 1, -800 cos 1): d = 1000 - 1600 cos 1 = 135.5,
  // nearer than white needs, so the shade is clamped to white.
  const float nearD = 1000.0f - 1600.0f * float(std::cos(1.0));
  EXPECT_NEAR(cell.screen[2].y, 1280.0f * -800.0f * float(std::sin(1.0)) / nearD + 240, 0.01f);
  EXPECT_NEAR(cell.screen[2].z, nearD / 2000, 1e-5f);
  EXPECT_EQ(cell.colours[2], 0x00FFFFFFu);
  // (0, 800, 0) is far behind: clamped to black.
  EXPECT_NEAR(cell.screen[3].z, (2000.0f - nearD) / 2000, 1e-5f);
  EXPECT_EQ(cell.colours[3], 0u);
  // The cell's vertices: points 0, 2, 1, then 1, 2, 3, each with its point's u, v.
  const int order[6] = {0, 2, 1, 1, 2, 3};
  for (int k = 0; k < 6; ++k) {
    const int p = order[k];
    EXPECT_EQ(v[std::size_t(k)].x, cell.screen[p].x) << k;
    EXPECT_EQ(v[std::size_t(k)].diffuse, cell.colours[p]) << k;
    EXPECT_EQ(v[std::size_t(k)].u, 0.25f * float(p)) << k;
    EXPECT_EQ(v[std::size_t(k)].v, 0.5f + 0.125f * float(p)) << k;
  }
}

TEST_F(Terrain, FallbackSizeScalesBy640AroundTheSmallScreensCentre) {
  const auto full = landscapeAt(4000, demoMesh);
  restartShow(true);
  ASSERT_EQ(screenWidth, 320);
  port::CapturedFrame picture;
  const auto small = landscapeAt(4000, demoMesh, &picture);
  ASSERT_EQ(full.size(), TerrainVertices);
  ASSERT_EQ(small.size(), TerrainVertices);
  for (std::size_t k = 0; k < full.size(); ++k) {
    ASSERT_NEAR(small[k].x, (full[k].x - 320) / 2 + 160, Pixel) << k;
    ASSERT_NEAR(small[k].y, (full[k].y - 240) / 2 + 100, Pixel) << k;
    ASSERT_EQ(small[k].z, full[k].z) << k;
    ASSERT_EQ(small[k].diffuse, full[k].diffuse) << k;
  }
  OneCellMesh cell;
  landscapeAt(0, cell.mesh);
  EXPECT_NEAR(cell.screen[0].x, 160.0f, Pixel);
  EXPECT_NEAR(cell.screen[0].y, 100.0f, Pixel);
  EXPECT_NEAR(wrapped(shownAngle(cell.screen[1], 160, 100) - 40.0), 0.0, 1e-4);
  EXPECT_GT(litPixels(picture), 320 * 200 / 4) << savePicture(picture, "terrain-320");
}

TEST_F(Terrain, PictureIsAnOpaqueLandscapeAcrossTheMiddle) {
  port::CapturedFrame picture;
  landscapeAt(4000, demoMesh, &picture);
  const Bounds b = litBounds(picture);
  EXPECT_GT(litPixels(picture), 640 * 480 / 4) << savePicture(picture, "terrain");
  EXPECT_LT(b.left, 200);
  EXPECT_GT(b.right, 440);
}

TEST_F(Terrain, RefusedLockSkipsTheDrawAndTheFrameGoesOn) {
  port::setFailure(port::FailPoint::LockVertexBuffer, true);
  HRESULT result = E_FAIL;
  port::CapturedFrame picture;
  const auto draws = recordFrame([&] { result = drawTerrainScene(5000, demoMesh); }, &picture);
  EXPECT_EQ(result, S_OK);
  EXPECT_TRUE(draws.empty());
  EXPECT_EQ(litPixels(picture), 0);
}

TEST_F(Terrain, RefusedDrawFails) {
  port::setFailure(port::FailPoint::DrawPrimitive, true);
  beginFrame();
  EXPECT_EQ(drawTerrainScene(5000, demoMesh), E_FAIL);
  endFrame();
}

TEST_F(Terrain, MeshItCannotDrawFailsWithoutDrawing) {
  HeightMesh empty{};
  empty.cols = empty.rows = 40;
  HRESULT result = S_OK;
  auto draws = recordFrame([&] { result = drawTerrainScene(0, empty); });
  EXPECT_EQ(result, E_FAIL);
  EXPECT_TRUE(draws.empty());
  // 72 x 72 points make 71 x 71 cells: 30246 vertices, more than the shared buffer holds.
  constexpr int Side = 72;
  std::vector<TaggedPoint> points(Side * Side, TaggedPoint{}), screen(Side * Side, TaggedPoint{});
  std::vector<ScreenVertex> vertices(Side * Side * 6, ScreenVertex{});
  std::vector<std::uint32_t> colours(Side * Side, 0);
  HeightMesh large{points.data(), screen.data(), vertices.data(), colours.data(), Side, Side, 1440.0f, 1440.0f};
  draws = recordFrame([&] { result = drawTerrainScene(0, large); });
  EXPECT_EQ(result, E_FAIL);
  EXPECT_TRUE(draws.empty());
}

} // namespace
