#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "content/font.h"
#include "content/pcx.h"
#include "data/embedded.h"
#include "tests/content/pixeltest.h"

namespace {

constexpr std::uint32_t SansDim = 0x999988;

// A strip `height` rows tall whose cells have the given widths; glyph rows stay black
// unless the test inks them. One column wider than the cells, like the embedded ones.
OwnedPixels* makeStrip(const std::vector<std::uint32_t>& widths, std::uint32_t height) {
  std::uint32_t total = 0;
  for (std::uint32_t w : widths) total += w;
  auto* strip = new OwnedPixels(total + 1, height);
  std::uint32_t end = 0;
  for (std::uint32_t w : widths) {
    end += w;
    strip->at(end, 0) = Pixel{{255, 255, 255, 0}};
  }
  return strip;
}

struct Packed {
  BitmapFont font{};
  OwnedPixels atlas;
  Packed(const char* alphabet, std::uint32_t colour, const PixelBuffer& strip)
      : atlas(packGlyphAtlas(alphabet, colour, strip, font)) {}
};

void expectRect(const BitmapFont& font, int g, float left, float right, float top, float bottom) {
  SCOPED_TRACE(testing::Message() << "glyph " << g);
  EXPECT_EQ(font.glyphU[g].left, left / 256);
  EXPECT_EQ(font.glyphU[g].right, right / 256);
  EXPECT_EQ(font.glyphV[g].top, top / 256);
  EXPECT_EQ(font.glyphV[g].bottom, bottom / 256);
}

TEST(GlyphAtlas, CellEndingAtTheAtlasEdgeStaysOneEndingPastItMoves) {
  std::unique_ptr<OwnedPixels> exact(makeStrip({100, 100, 56, 10}, 5));
  Packed a("abcd", SansDim, exact->buffer);
  expectRect(a.font, 2, 201, 258, 0, 5);
  expectRect(a.font, 3, 1, 12, 4, 9); // next band: y += height - 1, x = w
  std::unique_ptr<OwnedPixels> over(makeStrip({100, 100, 57}, 5));
  Packed b("abc", SansDim, over->buffer);
  expectRect(b.font, 2, 1, 59, 4, 9);
}

TEST(GlyphAtlas, AnyNonBlackStripPixelBecomesInkInTheFontColour) {
  std::unique_ptr<OwnedPixels> strip(makeStrip({6, 7}, 4));
  strip->at(2, 1) = Pixel{{0, 0, 1, 0}};    // cell 0, row 1
  strip->at(6 + 3, 3) = Pixel{{9, 0, 0, 0}}; // cell 1, row 3
  Packed p("ab", SansDim, strip->buffer);
  EXPECT_EQ(p.font.glyphCount, 2);
  EXPECT_EQ(p.font.texture, nullptr);
  const Pixel ink{{0x88, 0x99, 0x99, 0xFF}};
  auto expectPixel = [&](std::uint32_t x, std::uint32_t y, const Pixel& want) {
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(p.atlas.channel(x, y, ch), want.channel[ch]) << x << "," << y;
  };
  expectPixel(2, 0, ink);
  expectPixel(9, 2, ink);
  expectPixel(3, 0, Pixel{});
  expectPixel(6, 0, Pixel{}); // the marker row is not copied
  int inked = 0;
  for (std::size_t i = 0; i < pixelCount(p.atlas.buffer); ++i) inked += p.atlas.buffer.pixels[i].channel[ChannelSpare] != 0;
  EXPECT_EQ(inked, 2);
}

TEST(GlyphAtlas, TooFewMarkersAndTooLongAlphabetsStayInBounds) {
  std::unique_ptr<OwnedPixels> strip(makeStrip({20, 30}, 6));
  for (std::uint32_t x = 0; x < strip->buffer.width; ++x) strip->at(x, 5) = Pixel{{255, 255, 255, 0}};
  Packed few("abcd", SansDim, strip->buffer);
  EXPECT_EQ(few.font.glyphCount, 4);
  expectRect(few.font, 2, 51, 53, 0, 6); // the strip's last column ends the third cell
  std::string longAlphabet(150, 'x');
  std::unique_ptr<OwnedPixels> wide(makeStrip(std::vector<std::uint32_t>(150, 40), 40));
  for (std::uint32_t x = 0; x < wide->buffer.width; ++x) wide->at(x, 39) = Pixel{{255, 255, 255, 0}};
  Packed many(longAlphabet.c_str(), SansDim, wide->buffer);
  EXPECT_EQ(many.font.glyphCount, FontGlyphLimit); // bands run off the atlas; nothing written there
}

struct EmbeddedFont {
  OwnedPixels strip;
  Packed packed;
  EmbeddedFont(const unsigned char* file, int size, const char* alphabet)
      : strip(decodePcx(file, std::size_t(size))), packed(alphabet, SansDim, strip.buffer) {}
};

TEST(EmbeddedFonts, SansGlyphZeroAndThirteenRectangles) {
  EmbeddedFont sans(sansGlyphStrip, sansGlyphStripSize, SansAlphabet);
  EXPECT_EQ(sans.packed.font.glyphCount, 42);
  expectRect(sans.packed.font, 0, 1, 23, 0, 37);
  expectRect(sans.packed.font, 13, 1, 26, 36, 73);
}

// Band of each glyph, from its v range; and where each band ends.
void expectBands(const BitmapFont& font, const std::vector<int>& bandSizes, const std::vector<float>& bandEnds) {
  int g = 0;
  for (std::size_t band = 0; band < bandSizes.size(); ++band) {
    for (int i = 0; i < bandSizes[band]; ++i, ++g) {
      EXPECT_EQ(font.glyphV[g].top, float(band * 36) / 256) << "glyph " << g;
    }
    EXPECT_EQ(font.glyphU[g - 1].right, (bandEnds[band] + 2) / 256) << "band " << band;
  }
  EXPECT_EQ(g, font.glyphCount);
}

TEST(EmbeddedFonts, BandLayoutOfBothStrips) {
  EmbeddedFont sans(sansGlyphStrip, sansGlyphStripSize, SansAlphabet);
  expectBands(sans.packed.font, {13, 12, 12, 5}, {250, 254, 252, 114});
  EmbeddedFont serif(serifGlyphStrip, serifGlyphStripSize, SerifAlphabet);
  EXPECT_EQ(serif.packed.font.glyphCount, 30);
  expectBands(serif.packed.font, {8, 8, 8, 6}, {244, 234, 255, 178});
}

} // namespace
