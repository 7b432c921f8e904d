// The title and the credits: each line whole, where it belongs, the same in every frame.
#include <cstring>

#include "scenes/sceneinputs.h"
#include "scenes/titles.h"
#include "tests/scenes/scenetest.h"

namespace {

using Titles = SceneTest;

struct Line {
  const char* text;
  float x, y;
};

void expectLine(const port::DrawRecord& draw, const Line& line, const BitmapFont& font) {
  EXPECT_FLOAT_EQ(firstVertex(draw).x, line.x) << line.text;
  EXPECT_FLOAT_EQ(firstVertex(draw).y, line.y) << line.text;
  EXPECT_EQ(draw.primitives, 2 * std::strlen(line.text)) << line.text << " is drawn whole";
  EXPECT_EQ(draw.texture, font.texture) << line.text;
}

TEST_F(Titles, TitleIsOneLineThatIgnoresTheClock) {
  const auto early = recordFrame([] { drawTitle(0); });
  ASSERT_EQ(early.size(), 1u);
  expectLine(early[0], {"....quorvatics", 165, 210}, sansFontLight);
  const auto late = recordFrame([] { drawTitle(0xDEADBEEF); });
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].vertices, early[0].vertices);
}

TEST_F(Titles, CreditsAreFourWholeLinesInTheDimSansFont) {
  const auto draws = recordFrame(drawCredits);
  ASSERT_EQ(draws.size(), 4u);
  expectLine(draws[0], {".nyra", 230, 170}, sansFontDim);
  expectLine(draws[1], {".quorvatics", 230, 210}, sansFontDim);
  expectLine(draws[2], {".2002", 230, 250}, sansFontDim);
  expectLine(draws[3], {"www.quorvatics.example", 150, 440}, sansFontDim);
  // The address is in smaller type: its first glyph 0.8 the height of the lines above.
  const auto big = verticesOf(draws[0]);
  const auto small = verticesOf(draws[3]);
  EXPECT_FLOAT_EQ(small[2].y - small[0].y, 0.8f * (big[2].y - big[0].y));
}

TEST_F(Titles, TitleShowsOnTheFrameAndHalvesInTheFallback) {
  beginFrame();
  drawTitle(0);
  const port::CapturedFrame full = endFrame();
  EXPECT_GT(litPixels(full), 500) << savePicture(full, "title");
  // Nothing outside the line's box (165, 210) onwards.
  for (int y = 0; y < 200; y += 3)
    for (int x = 0; x < 640; x += 3) ASSERT_EQ(at(full, x, y), 0u) << x << "," << y;

  startShow(true);
  beginFrame();
  drawTitle(0);
  const port::CapturedFrame half = endFrame();
  ASSERT_EQ(half.width, 320);
  EXPECT_GT(litPixels(half), 100) << savePicture(half, "title-320");
  EXPECT_LT(litPixels(half), litPixels(full) / 2);
  for (int x = 0; x < 80; ++x) EXPECT_EQ(at(half, x, 110), 0u) << "the line starts at x 82.5";
}

} // namespace
