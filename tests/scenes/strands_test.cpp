// Text on strands: 480 one-character draws. At clock 0 the control points and their
// turn follow by hand (the view turn is 1 radian about Y, sy = 215, cy = 138), so the
// characters' pen positions are known; which character each slot shows; the fallback
// size, where the positions round half to even before drawText halves them.
#include <gtest/gtest.h>

#include <cstring>

#include "direction/timeline.h"
#include "scenes/sceneinputs.h"
#include "scenes/strands.h"
#include "tests/scenes/scenetest.h"

namespace {

constexpr std::size_t Slots = 480;

struct Pen {
  float x, y;
};

class Strands : public SceneTest {
protected:
  std::vector<port::DrawRecord> charactersAt(DWORD t, port::CapturedFrame* picture = nullptr) {
    HRESULT result = E_FAIL;
    const auto draws = recordFrame([&] { result = drawStrandScene(t, sansFontLight); }, picture);
    EXPECT_EQ(result, S_OK);
    EXPECT_EQ(draws.size(), Slots);
    for (const port::DrawRecord& d : draws) EXPECT_EQ(d.primitives, 2u);
    return draws;
  }
  static Pen pen(const port::DrawRecord& draw) {
    const ScreenVertex v = firstVertex(draw);
    return {v.x, v.y};
  }
  // The character a draw shows, found from its glyph's corner in the atlas.
  static char shown(const port::DrawRecord& draw) {
    const ScreenVertex v = firstVertex(draw);
    for (int g = 0; g < sansFontLight.glyphCount; ++g)
      if (sansFontLight.glyphU[g].left == v.u && sansFontLight.glyphV[g].top == v.v) return sansFontLight.alphabet[g];
    return '?';
  }
};

void expectPen(const port::DrawRecord& draw, float x, float y) {
  const ScreenVertex v = firstVertex(draw);
  EXPECT_EQ(v.x, x);
  EXPECT_EQ(v.y, y);
}

TEST_F(Strands, CharactersSitOnTheStrandsAtClockZero) {
  const auto draws = charactersAt(0);
  ASSERT_EQ(draws.size(), Slots);
  // Slot 0 is point 1, (0, 0, 273), turned to (-115, 73, 0): (118.75, 367.75) rounded.
  expectPen(draws[0], 119, 368);
  // Slot 15 is halfway between points 1 and 2, shaped by points 0 and 3 (40, 64, -84).
  expectPen(draws[15], 231, 136);
  // Slot 30 is point 2, (-210, 191, -227), turned to (38, -149, 94): e = 794.
  expectPen(draws[30], 395, -56);
  // Slot 45 is halfway between points 2 and 3, shaped by point 4 (105, -80, 297).
  expectPen(draws[45], 464, 7);
  // Point 1 is the same on every strand; strand 7 comes back onto strand 0.
  expectPen(draws[60], 119, 368);
  for (std::size_t n = 0; n < 60; ++n) {
    EXPECT_EQ(pen(draws[420 + n]).x, pen(draws[n]).x) << n;
    EXPECT_EQ(pen(draws[420 + n]).y, pen(draws[n]).y) << n;
  }
  // Glyphs at 0.7 scale: the "." cell is drawn (cell width + 1) x 0.7 by 37 x 0.7.
  const auto quad = verticesOf(draws[0]);
  EXPECT_NEAR(quad[5].y - quad[0].y, 37 * 0.7f, 1e-4f);
  const GlyphU& dot = sansFontLight.glyphU[std::strchr(sansFontLight.alphabet, '.') - sansFontLight.alphabet];
  EXPECT_NEAR(quad[5].x - quad[0].x, (dot.right - dot.left) * 256 * 0.7f, 1e-4f);
}

TEST_F(Strands, SlotsShowTheSentenceBackwards) {
  const auto draws = charactersAt(98765);
  ASSERT_EQ(draws.size(), Slots);
  // "and do remember that a gramme is better than a damn...": 54 characters.
  EXPECT_EQ(shown(draws[0]), '.');
  EXPECT_EQ(shown(draws[1]), '.');
  EXPECT_EQ(shown(draws[2]), '.');
  EXPECT_EQ(shown(draws[3]), 'n');
  EXPECT_EQ(shown(draws[6]), 'd');
  EXPECT_EQ(shown(draws[7]), ' ');
  EXPECT_EQ(shown(draws[53]), 'a');
  EXPECT_EQ(shown(draws[54]), '.');
  EXPECT_EQ(shown(draws[57]), 'n');
  EXPECT_EQ(shown(draws[479]), ' '); // 479 mod 54 = 47: the character at 6
  for (const port::DrawRecord& d : draws) ASSERT_EQ(d.texture, sansFontLight.texture);
}

TEST_F(Strands, StrandsWritheWithTheClock) {
  const auto a = charactersAt(0);
  const auto b = charactersAt(1500);
  ASSERT_EQ(a.size(), b.size());
  int moved = 0;
  for (std::size_t n = 0; n < a.size(); ++n) moved += pen(a[n]).x != pen(b[n]).x || pen(a[n]).y != pen(b[n]).y;
  EXPECT_GT(moved, 400);
}

TEST_F(Strands, FallbackSizeRoundsHalvesToEvenBeforeTextHalvesThem) {
  restartShow(true);
  ASSERT_EQ(screenWidth, 320);
  port::CapturedFrame picture;
  const auto draws = charactersAt(0, &picture);
  ASSERT_EQ(draws.size(), Slots);
  // f = 200 and the centre (160, 100): point 1 lands at (-242.5, 355.5), drawn from
  // (-242, 356) and halved by drawText to (-121, 178).
  expectPen(draws[0], -121, 178);
  // Point 2 at (310.86, -491.53): (311, -492), halved.
  expectPen(draws[30], 155.5f, -246);
  EXPECT_GT(litPixels(picture), 500) << savePicture(picture, "strands-320");
}

TEST_F(Strands, PictureShowsTheCharactersWhereThePensAre) {
  port::CapturedFrame picture;
  const auto draws = charactersAt(0, &picture);
  ASSERT_EQ(draws.size(), Slots);
  EXPECT_GT(litPixels(picture), 5000) << savePicture(picture, "strands");
  // Slot 15's glyph box, 37 x 0.7 pixels tall from its pen, holds ink.
  int ink = 0;
  for (int y = 136; y < 136 + 26; ++y)
    for (int x = 231; x < 231 + 10; ++x) ink += at(picture, x, y) != 0;
  EXPECT_GT(ink, 0) << savePicture(picture, "strands");
}

TEST_F(Strands, TimelineDrawsThemLastInState4OverTheBackdropAndCaptions) {
  HRESULT result = E_FAIL;
  const auto draws = recordFrame([&] { result = drawTimelineLayers(4); });
  EXPECT_EQ(result, S_OK);
  ASSERT_GT(draws.size(), Slots + 1);
  EXPECT_EQ(draws[0].texture, emberTexture); // the backdrop first
  for (std::size_t n = draws.size() - Slots; n < draws.size(); ++n) {
    ASSERT_EQ(draws[n].texture, sansFontLight.texture) << n;
    ASSERT_EQ(draws[n].primitives, 2u) << n;
  }
}

} // namespace
