// The sprite spiral: its sprites as read back from the draw. At clock 0 nothing is
// turned, so the control points follow from the arm formulas and the integer rotation by
// hand; the centre point, which no sprite sits on, is recovered from the first segment's
// samples; the joins between segments, the flash's sideways stretch, the fallback size
// and what a refused lock, a refused draw and a second frame do.
#include <gtest/gtest.h>

#include <cmath>

#include "direction/timeline.h"
#include "scenes/sceneinputs.h"
#include "scenes/spritespiral.h"
#include "tests/scenes/scenetest.h"

namespace {

constexpr std::size_t SpiralVertices = 16800;
constexpr int Strands = 7, Segments = 5, Samples = 80;
constexpr float Pixel = 1e-3f;

struct Corner {
  float x, y;
};

class SpriteSpiral : public SceneTest {
protected:
  std::vector<ScreenVertex> spritesAt(DWORD t, port::CapturedFrame* picture = nullptr) {
    HRESULT result = E_FAIL;
    const auto draws = recordFrame([&] { result = drawSpriteSpiralScene(t); }, picture);
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(draws.size(), 1u);
    if (draws.size() != 1) return {};
    EXPECT_EQ(draws[0].primitiveType, int(D3DPT_TRIANGLELIST));
    EXPECT_EQ(draws[0].primitives, 5600u);
    EXPECT_EQ(draws[0].texture, spotTexture);
    return verticesOf(draws[0]);
  }
};

// The top-left corner of sample s of segment g of strand i.
Corner sprite(const std::vector<ScreenVertex>& v, int i, int g, int s) {
  const ScreenVertex& first = v[std::size_t(((i * Segments + g) * Samples + s) * 6)];
  return {first.x, first.y};
}

// A cubic through p0..p3 at u = 1/2 is (-p0 + 5 p1 + 5 p2 - p3) / 8; the first segment's
// samples at u = 0 and 1/2 and the next two segments' first samples give p0 back.
Corner centreShapingArm(const std::vector<ScreenVertex>& v, int i) {
  const Corner p1 = sprite(v, i, 0, 0), half = sprite(v, i, 0, Samples / 2);
  const Corner p2 = sprite(v, i, 1, 0), p3 = sprite(v, i, 2, 0);
  return {5 * p1.x + 5 * p2.x - p3.x - 8 * half.x, 5 * p1.y + 5 * p2.y - p3.y - 8 * half.y};
}

TEST_F(SpriteSpiral, ArmsRunThroughTheControlPointsAtClockZero) {
  const auto v = spritesAt(0);
  ASSERT_EQ(v.size(), SpiralVertices);
  for (int i = 0; i < Strands; ++i) {
    // Point 1 of every strand is (0, 0, 227) (250 sin 2), turned and halved to (0, 112, 0):
    // y = 112 x 700 / 400 + 240.
    EXPECT_NEAR(sprite(v, i, 0, 0).x, 320.0f, Pixel);
    EXPECT_NEAR(sprite(v, i, 0, 0).y, 436.0f, Pixel);
  }
  // Strand 0's point 2, (46, 118, -189), turns to (22, -95, 58): e = 758, f = 400.
  EXPECT_NEAR(sprite(v, 0, 1, 0).x, 22.0f * 758 / 400 + 320, Pixel);
  EXPECT_NEAR(sprite(v, 0, 1, 0).y, -95.0f * 758 / 400 + 240, Pixel);
  // Its point 3, (-62, 266, -70), turns to (-31, -35, 131): e = 831.
  EXPECT_NEAR(sprite(v, 0, 2, 0).x, -31.0f * 831 / 400 + 320, Pixel);
  EXPECT_NEAR(sprite(v, 0, 2, 0).y, -35.0f * 831 / 400 + 240, Pixel);
  // Each sprite: 16 x 16 from its top-left, white, the spot texture once across.
  const ScreenVertex* q = &v[6 * 123];
  const float dx[6] = {0, 16, 0, 16, 0, 16}, dy[6] = {0, 0, 16, 0, 16, 16};
  for (int c = 0; c < 6; ++c) {
    EXPECT_FLOAT_EQ(q[c].x, q[0].x + dx[c]);
    EXPECT_FLOAT_EQ(q[c].y, q[0].y + dy[c]);
    EXPECT_EQ(q[c].u, dx[c] / 16);
    EXPECT_EQ(q[c].v, dy[c] / 16);
  }
  for (const ScreenVertex& s : v) {
    ASSERT_EQ(s.z, 0.0f);
    ASSERT_EQ(s.rhw, 1.0f);
    ASSERT_EQ(s.diffuse, 0x00FFFFFFu);
  }
}

TEST_F(SpriteSpiral, CentrePointProjectsToTheScreenCentreAtAnyTime) {
  for (DWORD t : {0u, 3210u, 77777u, 1234567u}) {
    for (std::int32_t flash : {0, 260}) {
      flashLevel = flash;
      const auto v = spritesAt(t);
      ASSERT_EQ(v.size(), SpiralVertices);
      for (int i = 0; i < Strands; ++i) {
        SCOPED_TRACE(testing::Message() << "t " << t << " flash " << flash << " strand " << i);
        const Corner centre = centreShapingArm(v, i);
        EXPECT_NEAR(centre.x, 320.0f, 0.02f);
        EXPECT_NEAR(centre.y, 240.0f, 0.02f);
      }
    }
  }
}

TEST_F(SpriteSpiral, FlashWidensTheFigureAndKeepsItsHeight) {
  const auto still = spritesAt(7777);
  flashLevel = 260;
  const auto flash = spritesAt(7777);
  ASSERT_EQ(still.size(), SpiralVertices);
  ASSERT_EQ(flash.size(), SpiralVertices);
  // At clock 0, point 2 of strand 0: 22 x 758 / (400 - 260) + 320 = 439.11.
  const auto flashAtZero = spritesAt(0);
  EXPECT_NEAR(sprite(flashAtZero, 0, 1, 0).x, 22.0f * 758 / 140 + 320, Pixel);
  EXPECT_NEAR(sprite(flashAtZero, 0, 1, 0).y, -95.0f * 758 / 400 + 240, Pixel);
  // Every sprite is an affine mix of the control points: x moves away from the centre by
  // 400 / 140, y stays.
  for (std::size_t k = 0; k < still.size(); k += 6) {
    ASSERT_NEAR(flash[k].x - 320.0f, (still[k].x - 320.0f) * 400 / 140, 0.01f) << k / 6;
    ASSERT_NEAR(flash[k].y, still[k].y, 1e-4f) << k / 6;
  }
}

TEST_F(SpriteSpiral, SegmentsJoinWithoutADoubledSprite) {
  const auto v = spritesAt(45678);
  ASSERT_EQ(v.size(), SpiralVertices);
  for (int i = 0; i < Strands; ++i)
    for (int g = 0; g + 1 < Segments; ++g) {
      SCOPED_TRACE(testing::Message() << "strand " << i << " join " << g);
      // A cubic's third differences are constant and tiny at steps of 1/80: the three last
      // samples of a segment say where its curve goes next, 1/80 on. The next segment's
      // first sample is there, not on the last one.
      const Corner a = sprite(v, i, g, 77), b = sprite(v, i, g, 78), c = sprite(v, i, g, 79);
      const Corner next = sprite(v, i, g + 1, 0);
      EXPECT_NEAR(next.x, 3 * c.x - 3 * b.x + a.x, 0.05f);
      EXPECT_NEAR(next.y, 3 * c.y - 3 * b.y + a.y, 0.05f);
      EXPECT_GT(std::hypot(next.x - c.x, next.y - c.y), 0.01f);
    }
}

TEST_F(SpriteSpiral, SpritesAddOntoTheFrame) {
  port::CapturedFrame once, twice;
  recordFrame([] { drawSpriteSpiralScene(2500); }, &once);
  recordFrame(
      [] {
        drawSpriteSpiralScene(2500);
        drawSpriteSpiralScene(2500);
      },
      &twice);
  ASSERT_GT(litPixels(once), 5000) << savePicture(once, "spiral-once");
  int mismatches = 0;
  for (int y = 0; y < once.height; ++y)
    for (int x = 0; x < once.width; ++x) {
      const std::uint32_t a = at(once, x, y);
      std::uint32_t doubled = 0;
      for (int shift = 0; shift < 24; shift += 8) doubled |= std::min<std::uint32_t>(((a >> shift) & 0xFF) * 2, 0xFF) << shift;
      mismatches += at(twice, x, y) != doubled;
    }
  EXPECT_EQ(mismatches, 0) << savePicture(twice, "spiral-twice");
}

TEST_F(SpriteSpiral, FallbackSizeProjectsWithHalfTheFocalLength) {
  restartShow(true);
  ASSERT_EQ(screenWidth, 320);
  port::CapturedFrame picture;
  const auto v = spritesAt(0, &picture);
  ASSERT_EQ(v.size(), SpiralVertices);
  // f = 200, the centre (160, 100); the sprites stay 16 pixels.
  EXPECT_NEAR(sprite(v, 0, 1, 0).x, 22.0f * 758 / 200 + 160, Pixel);
  EXPECT_NEAR(sprite(v, 0, 1, 0).y, -95.0f * 758 / 200 + 100, Pixel);
  EXPECT_FLOAT_EQ(v[5].x - v[0].x, 16.0f);
  const Corner centre = centreShapingArm(v, 3);
  EXPECT_NEAR(centre.x, 160.0f, 0.02f);
  EXPECT_NEAR(centre.y, 100.0f, 0.02f);
  EXPECT_GT(litPixels(picture), 1000) << savePicture(picture, "spiral-320");
}

TEST_F(SpriteSpiral, RefusedLockSkipsTheDrawAndTheFrameGoesOn) {
  spritesAt(0);
  port::setFailure(port::FailPoint::LockVertexBuffer, true);
  HRESULT result = E_FAIL;
  port::CapturedFrame picture;
  const auto draws = recordFrame([&] { result = drawSpriteSpiralScene(5000); }, &picture);
  EXPECT_EQ(result, S_OK);
  EXPECT_TRUE(draws.empty());
  EXPECT_EQ(litPixels(picture), 0);
}

TEST_F(SpriteSpiral, RefusedDrawFails) {
  port::setFailure(port::FailPoint::DrawPrimitive, true);
  beginFrame();
  EXPECT_EQ(drawSpriteSpiralScene(5000), E_FAIL);
  endFrame();
}

TEST_F(SpriteSpiral, LaterFramesAllocateNothing) {
  spritesAt(0);
  port::clearFailures(); // the call counts from here
  spritesAt(1000);
  spritesAt(2000);
  EXPECT_EQ(port::callsAt(port::FailPoint::HeapAlloc), 0);
}

TEST_F(SpriteSpiral, TimelineDrawsItUnderTheCultureCaptionsInState2) {
  HRESULT result = E_FAIL;
  const auto draws = recordFrame([&] { result = drawTimelineLayers(2); });
  EXPECT_EQ(result, S_OK);
  ASSERT_GT(draws.size(), 1u);
  EXPECT_EQ(draws[0].texture, spotTexture);
  EXPECT_EQ(draws[0].primitives, 5600u);
  for (std::size_t k = 1; k < draws.size(); ++k) EXPECT_NE(draws[k].texture, spotTexture) << k;
  // A refused draw ends the layers at once: the captions are not drawn.
  port::clearFailures(); // the call counts from here
  port::setFailure(port::FailPoint::DrawPrimitive, true);
  beginFrame();
  EXPECT_EQ(drawTimelineLayers(2), E_FAIL);
  endFrame();
  EXPECT_EQ(port::callsAt(port::FailPoint::DrawPrimitive), 1);
}

} // namespace
