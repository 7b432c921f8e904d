// The caption overlays: where each text goes, in which font, how the fonts' alphabets cut
// texts short, that every position is a function of the clock alone, and the halving on
// the 320 x 200 fallback.
#include <cmath>
#include <cstring>

#include "scenes/captions.h"
#include "scenes/sceneinputs.h"
#include "tests/scenes/scenetest.h"

namespace {

constexpr int GlyphTriangles = 2;

class Captions : public SceneTest {
protected:
  // The draws of one overlay at clock t, one per text.
  template <typename Overlay> std::vector<port::DrawRecord> drawsOf(Overlay overlay, DWORD t) {
    return recordFrame([&] { overlay(t); });
  }
};

struct Place {
  float x, y;
};
Place placeOf(const port::DrawRecord& draw) { return {firstVertex(draw).x, firstVertex(draw).y}; }
unsigned glyphsOf(const port::DrawRecord& draw) { return draw.primitives / GlyphTriangles; }

TEST_F(Captions, EachOverlayDrawsItsTextsOnePerCall) {
  EXPECT_EQ(drawsOf(drawCultureCaptions, 0).size(), 14u + 12 + 8 + 2 + 4);
  EXPECT_EQ(drawsOf(drawGrammeCaptions, 0).size(), 15u + 9 + 3 + 4 + 1);
  EXPECT_EQ(drawsOf(drawSpeedCaptions, 0).size(), 30u + 3);
}

TEST_F(Captions, GrammeCaptionsAtTimeZero) {
  const auto draws = drawsOf(drawGrammeCaptions, 0);
  ASSERT_EQ(draws.size(), 32u);
  // Swarm copy 0 of "i do like flying." at ((cos 0 + 1) x 280, (sin 0 + 1) x 220).
  EXPECT_FLOAT_EQ(placeOf(draws[0]).x, 560.0f);
  EXPECT_FLOAT_EQ(placeOf(draws[0]).y, 220.0f);
  EXPECT_EQ(glyphsOf(draws[0]), std::strlen("i do like flying."));
  EXPECT_EQ(draws[0].texture, sansFontDim.texture);
  // The sentence rows start off screen to the right.
  for (int k = 0; k < 3; ++k) {
    EXPECT_FLOAT_EQ(placeOf(draws[24 + k]).x, 1520.0f + 50 * k) << "row " << k;
    EXPECT_FLOAT_EQ(placeOf(draws[24 + k]).y, 170.0f + 190 * k) << "row " << k;
    EXPECT_EQ(draws[24 + k].texture, sansFontLight.texture);
  }
  // sin 0 rounds to 0: the letters on row 25, the authors' name 90 below them.
  const float letterX[] = {130, 210, 280, 400};
  const void* letterFont[] = {serifFontDim.texture, sansFontDim.texture, serifFontLight.texture, sansFontLight.texture};
  for (int n = 0; n < 4; ++n) {
    EXPECT_FLOAT_EQ(placeOf(draws[27 + n]).x, letterX[n]) << "letter " << n;
    EXPECT_FLOAT_EQ(placeOf(draws[27 + n]).y, 250.0f) << "letter " << n;
    EXPECT_EQ(glyphsOf(draws[27 + n]), 1u);
    EXPECT_EQ(draws[27 + n].texture, letterFont[n]) << "letter " << n;
  }
  EXPECT_FLOAT_EQ(placeOf(draws[31]).x, 130.0f);
  EXPECT_FLOAT_EQ(placeOf(draws[31]).y, 340.0f);
  EXPECT_EQ(glyphsOf(draws[31]), std::strlen("the quorvatics"));
}

TEST_F(Captions, SerifFontsDropTheExclamationMark) {
  const auto culture = drawsOf(drawCultureCaptions, 0);
  const auto gramme = drawsOf(drawGrammeCaptions, 0);
  EXPECT_EQ(glyphsOf(culture[14]), std::strlen("damn you!")); // sans: drawn whole
  EXPECT_EQ(glyphsOf(gramme[15]), std::strlen("damn you"));   // serif: no "!"
  // The speed sentence has a "!" but is drawn in a sans font: whole.
  const auto speed = drawsOf(drawSpeedCaptions, 0);
  EXPECT_EQ(glyphsOf(speed[30]), std::strlen("twelve hundred and fifity kilometers an hour! what do you think about that..."));
}

TEST_F(Captions, CultureCaptionsScrollAndWrapAsUnsignedCounts) {
  // d = (t / 3) mod 4000 for the phrase, (t / 2) mod 5000 for the sentence.
  struct Case {
    DWORD t;
    float phraseX, sentenceX;
  };
  for (const Case& c : {Case{0, 1200, 1600}, Case{11997, 1200 - 3999, 1600 - 998}, Case{12000, 1200, 1600 - 1000},
                        Case{9999, 1200 - 3333, 1600 - 4999}, Case{0xFFFFFFFFu, 1200 - 3765, 1600 - 3647}}) {
    const auto draws = drawsOf(drawCultureCaptions, c.t);
    ASSERT_EQ(draws.size(), 40u);
    // The phrase's two groups: k = 0 at y 0, 80, 80, 80; k = 1 at 180, 260, 260, 268.
    const float groupY[2][4] = {{0, 80, 80, 80}, {180, 260, 260, 268}};
    const float pieceDx[4] = {0, 50, 65, 130};
    for (int k = 0; k < 2; ++k)
      for (int p = 0; p < 4; ++p) {
        EXPECT_FLOAT_EQ(placeOf(draws[26 + 4 * k + p]).x, c.phraseX + 50 * k + pieceDx[p]) << "t " << c.t;
        EXPECT_FLOAT_EQ(placeOf(draws[26 + 4 * k + p]).y, groupY[k][p]) << "t " << c.t;
      }
    EXPECT_EQ(draws[26 + 2].texture, serifFontDim.texture); // "do"
    EXPECT_FLOAT_EQ(placeOf(draws[34]).x, c.sentenceX);
    EXPECT_FLOAT_EQ(placeOf(draws[35]).x, c.sentenceX + 50);
    EXPECT_FLOAT_EQ(placeOf(draws[35]).y, 360.0f);
  }
}

TEST_F(Captions, NameLettersJumpBetweenThreeRows) {
  // Culture: (round(sin(t / 30)) + 29) x 10. sin(47 / 30) is near 1, sin(141 / 30) near -1.
  EXPECT_FLOAT_EQ(placeOf(drawsOf(drawCultureCaptions, 0)[36]).y, 290.0f);
  EXPECT_FLOAT_EQ(placeOf(drawsOf(drawCultureCaptions, 47)[36]).y, 300.0f);
  EXPECT_FLOAT_EQ(placeOf(drawsOf(drawCultureCaptions, 141)[39]).y, 280.0f);
  // Gramme: (round(sin(t / 5)) + 25) x 10, and the name follows the letters.
  const auto up = drawsOf(drawGrammeCaptions, 8); // sin(1.6) near 1
  EXPECT_FLOAT_EQ(placeOf(up[27]).y, 260.0f);
  EXPECT_FLOAT_EQ(placeOf(up[31]).y, 350.0f);
}

TEST_F(Captions, SpeedSwarmDriftsLeftAndJumpsBack) {
  // A = 700 - ((t / 2) mod 1200); copy 0 at t = 0: cos(sin 0 + 0) x 360 + A.
  EXPECT_FLOAT_EQ(placeOf(drawsOf(drawSpeedCaptions, 0)[0]).x, 1060.0f);
  EXPECT_FLOAT_EQ(placeOf(drawsOf(drawSpeedCaptions, 0)[0]).y, 220.0f);
  const auto late = drawsOf(drawSpeedCaptions, 2398);
  const float T = static_cast<float>(2398.0 / 1200.0);
  EXPECT_FLOAT_EQ(placeOf(late[0]).x, static_cast<float>(std::nearbyint(std::cos(std::sin(T) + T) * 360.0 - 499)));
  // The sentence rows: 200 apart across, 160 down.
  for (int k = 0; k < 3; ++k) {
    EXPECT_FLOAT_EQ(placeOf(late[30 + k]).x, 1600.0f - 1199 + 200 * k);
    EXPECT_FLOAT_EQ(placeOf(late[30 + k]).y, 50.0f + 160 * k);
  }
}

TEST_F(Captions, PositionsDependOnTheClockAlone) {
  for (auto overlay : {drawCultureCaptions, drawGrammeCaptions, drawSpeedCaptions}) {
    const auto first = drawsOf(overlay, 123456);
    drawsOf(overlay, 98765); // whatever came before
    const auto again = drawsOf(overlay, 123456);
    ASSERT_EQ(first.size(), again.size());
    for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i].vertices, again[i].vertices) << "text " << i;
  }
}

TEST_F(Captions, SoftwareFallbackHalvesEverythingButTheGrammeSentenceFollowsTheWidth) {
  startShow(true);
  const auto draws = drawsOf(drawGrammeCaptions, 0);
  ASSERT_EQ(draws.size(), 32u);
  EXPECT_FLOAT_EQ(placeOf(draws[0]).x, 280.0f);
  EXPECT_FLOAT_EQ(placeOf(draws[0]).y, 110.0f);
  // X = 3 x 320 - 0 - 400 = 560, then halved by the text drawing.
  EXPECT_FLOAT_EQ(placeOf(draws[24]).x, 280.0f);
  EXPECT_FLOAT_EQ(placeOf(draws[24]).y, 85.0f);
  // 2560 pixels of period instead of 5120: at t = 5120 the sentence is back at its start.
  EXPECT_FLOAT_EQ(placeOf(drawsOf(drawGrammeCaptions, 5120)[24]).x, 280.0f);
  EXPECT_FLOAT_EQ(placeOf(drawsOf(drawGrammeCaptions, 5118)[24]).x, (960.0f - 2559 - 400) / 2);
}

} // namespace
