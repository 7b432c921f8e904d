#include "content/filters.h"

#include <gtest/gtest.h>

#include "tests/content/pixeltest.h"

namespace {

OwnedPixels filtered(const OwnedPixels& source, std::int32_t mode) {
  return OwnedPixels(filterPixels(source.buffer, mode));
}

TEST(SoftenEdges, WhiteSquareGetsTwoThirdEdgesAndFourNinthCorners) {
  OwnedPixels image(9, 9);
  for (std::uint32_t y = 2; y <= 6; ++y)
    for (std::uint32_t x = 2; x <= 6; ++x) image.at(x, y) = Pixel{{255, 255, 255, 0}};
  OwnedPixels result = filtered(image, FilterSoftenEdges);
  for (std::uint32_t y = 0; y < 9; ++y) {
    for (std::uint32_t x = 0; x < 9; ++x) {
      bool inside = x >= 2 && x <= 6 && y >= 2 && y <= 6;
      bool edgeX = x == 2 || x == 6, edgeY = y == 2 || y == 6;
      int expected = !inside ? 0 : (edgeX && edgeY) ? 113 : (edgeX || edgeY) ? 170 : 255;
      for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(result.channel(x, y, ch), expected) << x << "," << y;
    }
  }
}

TEST(SoftenEdges, IsolatedPixelAndChannelsAreJudgedSeparately) {
  OwnedPixels image(5, 5);
  image.at(2, 2) = Pixel{{200, 90, 0, 0}};
  image.at(3, 2) = Pixel{{0, 90, 0, 0}}; // green has a right neighbour, red does not
  OwnedPixels result = filtered(image, FilterSoftenEdges);
  EXPECT_EQ(result.channel(2, 2, ChannelRed), 200); // both horizontal neighbours empty
  EXPECT_EQ(result.channel(2, 2, ChannelGreen), 60); // left empty, right inked: 90 / 1.5
  EXPECT_EQ(result.channel(3, 2, ChannelGreen), 60);
  EXPECT_EQ(result.channel(2, 2, ChannelBlue), 0);
}

TEST(SoftenEdges, SmallValuesShrinkButNeverVanish) {
  OwnedPixels image(6, 3);
  for (std::uint32_t x = 1; x <= 4; ++x) image.at(x, 1) = Pixel{{1, 2, 3, 0}};
  OwnedPixels result = filtered(image, FilterSoftenEdges);
  // Row ends: 1 / 1.5 -> 1, 2 / 1.5 -> 1, 3 / 1.5 -> 2; the middle has two inked neighbours.
  EXPECT_EQ(result.channel(1, 1, ChannelRed), 1);
  EXPECT_EQ(result.channel(1, 1, ChannelGreen), 1);
  EXPECT_EQ(result.channel(4, 1, ChannelBlue), 2);
  EXPECT_EQ(result.channel(2, 1, ChannelBlue), 3);
}

TEST(SoftenEdges, BorderGoesBlackAndTinyImagesAreBlack) {
  OwnedPixels image(4, 4);
  image.fill(255, 255, 255);
  OwnedPixels result = filtered(image, FilterSoftenEdges);
  EXPECT_EQ(result.channel(0, 1, ChannelRed), 0);
  EXPECT_EQ(result.channel(3, 2, ChannelGreen), 0);
  EXPECT_EQ(result.channel(1, 1, ChannelBlue), 255);
  OwnedPixels thin(2, 7);
  thin.fill(255, 255, 255);
  OwnedPixels thinResult = filtered(thin, FilterSoftenEdges);
  for (std::size_t i = 0; i < pixelCount(thin.buffer); ++i) EXPECT_EQ(thinResult.buffer.pixels[i].channel[0], 0);
}

TEST(ScatterBlur, UniformImageIsUnchangedWithSpareZero) {
  OwnedPixels image(16, 8);
  image.fill(77, 130, 201);
  for (std::size_t i = 0; i < pixelCount(image.buffer); ++i) image.buffer.pixels[i].channel[ChannelSpare] = 9;
  OwnedPixels result = filtered(image, FilterScatterBlur);
  for (std::size_t i = 0; i < pixelCount(result.buffer); ++i) {
    const Pixel& p = result.buffer.pixels[i];
    ASSERT_EQ(p.channel[ChannelRed], 77);
    ASSERT_EQ(p.channel[ChannelGreen], 130);
    ASSERT_EQ(p.channel[ChannelBlue], 201);
    ASSERT_EQ(p.channel[ChannelSpare], 0);
  }
}

TEST(ScatterBlur, TapsWrapAroundBothEdges) {
  // At (0, 0) of a 16 x 8 image the taps are (0,0) (0,7) (0,2) (2,0) (13,0) (1,7) (12,1) (7,1).
  const std::uint32_t taps[8][2] = {{0, 0}, {0, 7}, {0, 2}, {2, 0}, {13, 0}, {1, 7}, {12, 1}, {7, 1}};
  for (const auto& tap : taps) {
    OwnedPixels image(16, 8);
    image.at(tap[0], tap[1]) = Pixel{{240, 16, 8, 0}};
    OwnedPixels result = filtered(image, FilterScatterBlur);
    EXPECT_EQ(result.channel(0, 0, ChannelRed), 30) << tap[0] << "," << tap[1];
    EXPECT_EQ(result.channel(0, 0, ChannelGreen), 2);
    EXPECT_EQ(result.channel(0, 0, ChannelBlue), 1);
  }
  OwnedPixels untouched(16, 8);
  untouched.at(1, 0) = Pixel{{240, 0, 0, 0}}; // not a tap of (0, 0)
  OwnedPixels result = filtered(untouched, FilterScatterBlur);
  EXPECT_EQ(result.channel(0, 0, ChannelRed), 0);
}

TEST(WarmShift, GreyBlackAndWhiteGiveTheTintedValues) {
  struct Case {
    std::uint8_t in;
    int red, green, blue;
  } cases[] = {{100, 95, 74, 72}, {0, 0, 0, 0}, {255, 255, 255, 255}};
  for (const Case& c : cases) {
    OwnedPixels image(32, 8);
    image.fill(c.in, c.in, c.in);
    OwnedPixels result = filtered(image, FilterWarmShift);
    EXPECT_EQ(result.channel(5, 3, ChannelRed), c.red) << int(c.in);
    EXPECT_EQ(result.channel(5, 3, ChannelGreen), c.green) << int(c.in);
    EXPECT_EQ(result.channel(5, 3, ChannelBlue), c.blue) << int(c.in);
    EXPECT_EQ(result.channel(5, 3, ChannelSpare), 0);
  }
}

TEST(WarmShift, SmearsFeaturesToTheLeftWithWrap) {
  OwnedPixels image(32, 8);
  image.at(0, 0) = Pixel{{200, 200, 200, 0}};
  OwnedPixels result = filtered(image, FilterWarmShift);
  // (24, 0) reads (26,0) (28,0) (0,0) wrapped (8,0) (0,3): one hit, 200 / 4 - 30 = 20 red.
  EXPECT_EQ(result.channel(24, 0, ChannelRed), 20);
  EXPECT_EQ(result.channel(24, 5, ChannelRed), 20); // the row y + 3 wraps to 0
  EXPECT_EQ(result.channel(16, 0, ChannelRed), 20);
  EXPECT_EQ(result.channel(1, 0, ChannelRed), 0);
}

TEST(FilterModes, UnknownModeGivesBlack) {
  OwnedPixels image(8, 8);
  image.fill(255, 255, 255);
  for (std::int32_t mode : {3, -1, 1000}) {
    OwnedPixels result = filtered(image, mode);
    EXPECT_EQ(result.buffer.width, 8u);
    for (std::size_t i = 0; i < pixelCount(result.buffer); ++i) ASSERT_EQ(result.buffer.pixels[i].channel[0], 0);
  }
}

} // namespace
