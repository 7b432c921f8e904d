// The cube field: the grid, corner and triangle orders seen through the first cube at
// clock 0 (when nothing is turned yet, a point (x, y, z) turns to (x, z, y)), the flash's
// shorter viewing distance, absent cubes collapsing onto their centre, the fallback
// size, and what a refused lock, a refused draw and a second frame do.
#include <gtest/gtest.h>

#include "direction/timeline.h"
#include "platform/port/rasterspan.h"
#include "scenes/cubefield.h"
#include "scenes/sceneinputs.h"
#include "tests/scenes/scenetest.h"

namespace {

constexpr std::size_t FieldVertices = 11340;
constexpr int VerticesPerCube = 36;
constexpr float Pixel = 1e-3f;

class CubeField : public SceneTest {
protected:
  std::vector<ScreenVertex> fieldAt(DWORD t, port::CapturedFrame* picture = nullptr) {
    HRESULT result = E_FAIL;
    const auto draws = recordFrame([&] { result = drawCubeFieldScene(t); }, picture);
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(draws.size(), 1u);
    if (draws.size() != 1) return {};
    EXPECT_EQ(draws[0].primitiveType, int(D3DPT_TRIANGLELIST));
    EXPECT_EQ(draws[0].primitives, 3780u);
    EXPECT_EQ(draws[0].texture, stoneTexture);
    return verticesOf(draws[0]);
  }
};

void expectAt(const ScreenVertex& v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, Pixel);
  EXPECT_NEAR(v.y, y, Pixel);
  EXPECT_NEAR(v.z, z, 1e-6f);
}

// Every vertex of cube n at one point: its triangles have no area.
void expectCollapsed(const std::vector<ScreenVertex>& field, int n, float x, float y, float z) {
  for (int e = 0; e < VerticesPerCube; ++e) {
    SCOPED_TRACE(e);
    expectAt(field[std::size_t(n * VerticesPerCube + e)], x, y, z);
  }
}

TEST_F(CubeField, FirstCubeAtClockZeroIsFullSizeAndProjectsFromViewDistance1000) {
  // Cube 0 (centre (-90, -180, -135)) is at its full half-edge 23 at clock 0. Corner 0,
  // (-113, -203, -112), turns to (-113, -112, -203): d = 1000 - 406 = 594.
  const auto field = fieldAt(0);
  ASSERT_EQ(field.size(), FieldVertices);
  // Triangle 0 is corners 0, 1, 2; corner 1 is +x, corner 2 is +y.
  expectAt(field[0], 1280.0f * -113 / 594 + 320, 1280.0f * -112 / 594 + 240, 594.0f / 2000);
  expectAt(field[1], 1280.0f * -67 / 594 + 320, 1280.0f * -112 / 594 + 240, 594.0f / 2000);
  expectAt(field[2], 1280.0f * -113 / 686 + 320, 1280.0f * -112 / 686 + 240, 686.0f / 2000); // turned z -157
  // Triangle 11 is corners 4, 7, 6; corner 4 is the far side (-z).
  expectAt(field[33], 1280.0f * -113 / 594 + 320, 1280.0f * -158 / 594 + 240, 594.0f / 2000);
  // Shade of corner 0: 1 + sin(4 cos(-203 / 90) - 113 / 80 - 112 / 70) = 1.67483.
  EXPECT_EQ(field[0].diffuse, (166u << 16) + (147u << 8) + 111u);
  // The texture: u = (cx / 2 + i + 0.5) / 5 + w, v likewise over 9, w = (cz / 2 + o + 0.5) / 7.
  EXPECT_FLOAT_EQ(field[0].u, 1.0f / 7);
  EXPECT_FLOAT_EQ(field[1].u, 0.2f + 1.0f / 7);
  EXPECT_FLOAT_EQ(field[2].v, 1.0f / 9 + 1.0f / 7);
  EXPECT_FLOAT_EQ(field[33].u, 0.0f);
  // The last vertex: cube (4, 8, 6), triangle (4, 7, 6), corner 6 = (-x, +y, -z).
  EXPECT_FLOAT_EQ(field.back().u, 0.8f + 6.0f / 7);
  EXPECT_FLOAT_EQ(field.back().v, 1.0f + 6.0f / 7);
  for (const ScreenVertex& v : field) ASSERT_EQ(v.rhw, 1.0f);
}

TEST_F(CubeField, FlashShortensTheViewingDistance) {
  flashLevel = 260;
  const auto field = fieldAt(0);
  ASSERT_EQ(field.size(), FieldVertices);
  // d = 740 - 406 = 334: the block comes nearer and grows.
  expectAt(field[0], 1280.0f * -113 / 334 + 320, 1280.0f * -112 / 334 + 240, 334.0f / 2000);
  EXPECT_EQ(field[0].diffuse, (166u << 16) + (147u << 8) + 111u); // the shade ignores the flash
}

TEST_F(CubeField, CubeOfNegativeSizeCollapsesOntoItsCentre) {
  // At clock 0 the wave of cube (4, 8, 0), number 44, is below zero: all corners at its
  // centre (90, 180, -135), turned to (90, -135, 180), d = 1360.
  const auto still = fieldAt(0);
  ASSERT_EQ(still.size(), FieldVertices);
  expectCollapsed(still, 44, 1280.0f * 90 / 1360 + 320, 1280.0f * -135 / 1360 + 240, 1360.0f / 2000);
  // At 4 s the middle cube (2, 4, 3), number 157, centred on the origin, is absent: it
  // stays on the screen centre however the block turns, at depth (1000 - flash) / 2000.
  const auto turned = fieldAt(4000);
  ASSERT_EQ(turned.size(), FieldVertices);
  expectCollapsed(turned, 157, 320, 240, 0.5f);
  flashLevel = 260;
  expectCollapsed(fieldAt(4000), 157, 320, 240, 0.37f);
}

TEST_F(CubeField, TextureCoordinatesStayFromFrameToFrame) {
  const auto first = fieldAt(0);
  const auto later = fieldAt(123456);
  ASSERT_EQ(first.size(), later.size());
  int moved = 0;
  for (std::size_t k = 0; k < first.size(); ++k) {
    ASSERT_EQ(first[k].u, later[k].u);
    ASSERT_EQ(first[k].v, later[k].v);
    moved += first[k].x != later[k].x;
  }
  EXPECT_GT(moved, 10000); // while the block has turned
}

TEST_F(CubeField, PictureFillsTheMiddleAndGrowsDuringAFlash) {
  port::CapturedFrame still, flash;
  fieldAt(20000, &still);
  flashLevel = 260;
  fieldAt(20000, &flash);
  const Bounds a = litBounds(still), b = litBounds(flash);
  EXPECT_GT(litPixels(still), 640 * 480 / 10) << savePicture(still, "cubefield-still");
  EXPECT_LT(a.left, 320);
  EXPECT_GT(a.right, 320);
  EXPECT_LT(a.top, 240);
  EXPECT_GT(a.bottom, 240);
  EXPECT_GT(litPixels(flash), litPixels(still)) << savePicture(flash, "cubefield-flash");
  EXPECT_GE(b.right - b.left, a.right - a.left);
  EXPECT_GE(b.bottom - b.top, a.bottom - a.top);
}

TEST_F(CubeField, FallbackSizeHalvesTheFocalLengthAndCentresOnTheSmallScreen) {
  restartShow(true);
  ASSERT_EQ(screenWidth, 320);
  port::CapturedFrame picture;
  const auto field = fieldAt(0, &picture);
  ASSERT_EQ(field.size(), FieldVertices);
  expectAt(field[0], 640.0f * -113 / 594 + 160, 640.0f * -112 / 594 + 100, 594.0f / 2000);
  expectCollapsed(field, 44, 640.0f * 90 / 1360 + 160, 640.0f * -135 / 1360 + 100, 1360.0f / 2000);
  ASSERT_EQ(picture.width, 320);
  const Bounds b = litBounds(picture);
  EXPECT_LT(b.left, 160);
  EXPECT_GT(b.right, 160);
  EXPECT_GT(litPixels(picture), 320 * 200 / 10) << savePicture(picture, "cubefield-320");
}

TEST_F(CubeField, RefusedLockSkipsTheDrawAndTheFrameGoesOn) {
  fieldAt(0); // the arrays exist from here on
  port::setFailure(port::FailPoint::LockVertexBuffer, true);
  HRESULT result = E_FAIL;
  port::CapturedFrame picture;
  const auto draws = recordFrame([&] { result = drawCubeFieldScene(5000); }, &picture);
  EXPECT_EQ(result, S_OK);
  EXPECT_TRUE(draws.empty());
  EXPECT_EQ(litPixels(picture), 0);
}

TEST_F(CubeField, RefusedDrawFails) {
  port::setFailure(port::FailPoint::DrawPrimitive, true);
  beginFrame();
  EXPECT_EQ(drawCubeFieldScene(5000), E_FAIL);
  endFrame();
}

TEST_F(CubeField, LaterFramesAllocateNothing) {
  fieldAt(0);
  port::clearFailures(); // the call counts from here
  fieldAt(1000);
  fieldAt(2000);
  EXPECT_EQ(port::callsAt(port::FailPoint::HeapAlloc), 0);
}

TEST_F(CubeField, TimelineDrawsItUnderTheGrammeCaptionsInState3) {
  HRESULT result = E_FAIL;
  const auto draws = recordFrame([&] { result = drawTimelineLayers(3); });
  EXPECT_EQ(result, S_OK);
  ASSERT_GT(draws.size(), 1u);
  EXPECT_EQ(draws[0].texture, stoneTexture);
  EXPECT_EQ(draws[0].primitives, 3780u);
  for (std::size_t k = 1; k < draws.size(); ++k) EXPECT_NE(draws[k].texture, stoneTexture) << k;
  port::clearFailures(); // the call counts from here
  port::setFailure(port::FailPoint::DrawPrimitive, true);
  beginFrame();
  EXPECT_EQ(drawTimelineLayers(3), E_FAIL);
  endFrame();
  EXPECT_EQ(port::callsAt(port::FailPoint::DrawPrimitive), 1);
}

// The field is drawn depth first (a pass finding each pixel's winner, nearest cubes
// first, then one shading only those pixels); with the eight-pixel loops off it is drawn
// in one plain pass. Both must give the same frame, with and without a flash, where
// touching cubes share faces at equal depths.
TEST_F(CubeField, DrawnDepthFirstItIsTheFrameOnePlainPassDraws) {
  if (!raster::detail::wideSpansAvailable()) GTEST_SKIP() << "no eight-pixel loops on this processor";
  for (DWORD flash : {0u, 260u})
    for (DWORD t : {0u, 70000u, 112345u}) {
      SCOPED_TRACE(testing::Message() << "flash " << flash << ", clock " << t);
      flashLevel = static_cast<std::int32_t>(flash);
      port::CapturedFrame depthFirst, onePass;
      fieldAt(t, &depthFirst);
      raster::detail::allowWideSpans(false);
      fieldAt(t, &onePass);
      raster::detail::allowWideSpans(true);
      ASSERT_EQ(depthFirst.pixels.size(), onePass.pixels.size());
      EXPECT_GT(litPixels(onePass), 640 * 480 / 4);
      EXPECT_TRUE(depthFirst.pixels == onePass.pixels)
          << savePicture(depthFirst, "cubefield-depthfirst") << " " << savePicture(onePass, "cubefield-onepass");
    }
}

} // namespace
