// The backdrop: its quad, its motion with the clock, that it adds onto the frame with the
// blend factors in force, the fallback size, and a refused vertex-buffer lock.
#include <cmath>

#include "content/text.h"
#include "scenes/background.h"
#include "scenes/sceneinputs.h"
#include "tests/scenes/scenetest.h"

namespace {

class Background : public SceneTest {
protected:
  std::vector<ScreenVertex> quadAt(DWORD t) {
    const auto draws = recordFrame([&] { EXPECT_EQ(drawBackground(0.0f, emberTexture, t), S_OK); });
    EXPECT_EQ(draws.size(), 1u);
    if (draws.size() != 1) return {};
    EXPECT_EQ(draws[0].primitiveType, int(D3DPT_TRIANGLESTRIP));
    EXPECT_EQ(draws[0].primitives, 2u);
    EXPECT_EQ(draws[0].texture, emberTexture);
    return verticesOf(draws[0]);
  }
};

TEST_F(Background, QuadIsFourAndAHalfScreensWideAndScrollsWithTheClock) {
  const auto q = quadAt(0);
  ASSERT_EQ(q.size(), 4u);
  // sin 0 = 0: the top edge halfway up its swing.
  EXPECT_FLOAT_EQ(q[0].x, 0.0f);
  EXPECT_FLOAT_EQ(q[0].y, -50.0f);
  EXPECT_FLOAT_EQ(q[1].x, 2944.0f);
  EXPECT_FLOAT_EQ(q[2].y, 480.0f);
  EXPECT_FLOAT_EQ(q[3].x, 2944.0f);
  EXPECT_FLOAT_EQ(q[3].y, 480.0f);
  EXPECT_FLOAT_EQ(q[0].u, 0.0f);
  EXPECT_FLOAT_EQ(q[1].u, 1.0f);
  EXPECT_FLOAT_EQ(q[2].v, 1.0f);
  for (const ScreenVertex& v : q) EXPECT_EQ(v.diffuse, 0xFFFFFFFFu);
  // One texture width every 1200 ms.
  const auto later = quadAt(3000);
  EXPECT_FLOAT_EQ(later[0].u, 2.5f);
  EXPECT_FLOAT_EQ(later[1].u, 3.5f);
}

TEST_F(Background, TopEdgeSwingsBetweenTheTopAndAHundredAbove) {
  // sin(t / 700) = -1 near t = 700 x 3 pi / 2, +1 near 700 x pi / 2.
  const auto low = quadAt(3299);
  EXPECT_NEAR(low[0].y, 0.0f, 1e-3f);
  EXPECT_FLOAT_EQ(low[2].y, 480.0f);
  const auto high = quadAt(1100);
  EXPECT_NEAR(high[0].y, -100.0f, 1e-3f);
  EXPECT_FLOAT_EQ(high[3].y, 480.0f);
}

TEST_F(Background, AddsOntoWhatTheFrameHolds) {
  // The text leaves the additive factors set; the backdrop inherits them.
  beginFrame();
  drawText(165, 210, 1.0f, 1.0f, "....quorvatics", sansFontLight);
  const port::CapturedFrame textOnly = endFrame();
  beginFrame();
  drawText(165, 210, 1.0f, 1.0f, "....quorvatics", sansFontLight);
  drawBackground(0.0f, emberTexture, 5000);
  const port::CapturedFrame both = endFrame();
  beginFrame();
  drawText(0, 0, 1.0f, 1.0f, "", sansFontLight); // the factors only
  drawBackground(0.0f, emberTexture, 5000);
  const port::CapturedFrame backdrop = endFrame();
  int mismatches = 0;
  for (int y = 200; y < 250; ++y)
    for (int x = 150; x < 450; ++x) {
      const std::uint32_t a = at(textOnly, x, y), b = at(backdrop, x, y);
      std::uint32_t sum = 0;
      for (int shift = 0; shift < 24; shift += 8)
        sum |= std::min<std::uint32_t>(((a >> shift) & 0xFF) + ((b >> shift) & 0xFF), 0xFF) << shift;
      mismatches += at(both, x, y) != sum;
    }
  EXPECT_EQ(mismatches, 0) << savePicture(both, "backdrop-over-title");
  EXPECT_GT(litPixels(backdrop), 640 * 480 * 9 / 10) << "the backdrop covers the screen";
}

TEST_F(Background, FallbackQuadIsFourAndAHalfSmallScreensWide) {
  startShow(true);
  const auto q = quadAt(0);
  ASSERT_EQ(q.size(), 4u);
  EXPECT_FLOAT_EQ(q[1].x, 1472.0f);
  EXPECT_FLOAT_EQ(q[3].y, 200.0f);
  EXPECT_FLOAT_EQ(q[0].y, -50.0f);
}

TEST_F(Background, RefusedLockDrawsNothing) {
  beginFrame();
  port::recordDraws(true);
  port::setFailure(port::FailPoint::LockVertexBuffer, true);
  EXPECT_LT(drawBackground(0.0f, emberTexture, 0), 0);
  port::setFailure(port::FailPoint::LockVertexBuffer, false);
  port::recordDraws(false);
  const port::CapturedFrame frame = endFrame();
  EXPECT_TRUE(port::draws().empty());
  EXPECT_EQ(litPixels(frame), 0);
}

} // namespace
