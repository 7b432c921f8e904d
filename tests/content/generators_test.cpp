#include "content/generators.h"

#include <gtest/gtest.h>

#include "tests/content/pixeltest.h"

namespace {

TEST(UpscaleSoft, EachSourcePixelBecomesAnEightByEightBlockBeforeTheBlur) {
  OwnedPixels source(64, 64);
  source.at(1, 1) = Pixel{{255, 128, 8, 0}}; // block 8..15 x 8..15 after enlarging
  OwnedPixels result(upscaleSoft(source.buffer, 512, 512));
  ASSERT_EQ(result.buffer.width, 512u);
  ASSERT_EQ(result.buffer.height, 512u);
  // (10, 10): taps (10,10) (10,9) (10,12) (12,10) (11,9) hit the block; (7,10) (6,11) (17,11) miss.
  EXPECT_EQ(result.channel(10, 10, ChannelRed), 5 * 255 / 8);
  EXPECT_EQ(result.channel(10, 10, ChannelGreen), 5 * 128 / 8);
  EXPECT_EQ(result.channel(10, 10, ChannelBlue), 5);
  // (12, 12): (12,12) (12,11) (12,14) (14,12) (9,12) (13,11) (8,13) in, (19,13) out.
  EXPECT_EQ(result.channel(12, 12, ChannelRed), 7 * 255 / 8);
  EXPECT_EQ(result.channel(40, 40, ChannelRed), 0);
}

TEST(UpscaleSoft, KeepsAUniformImageAndWrapsAtTheEdges) {
  OwnedPixels source(64, 64);
  source.fill(10, 20, 30);
  source.at(63, 0) = Pixel{{250, 20, 30, 0}}; // block at columns 504..511, rows 0..7
  OwnedPixels result(upscaleSoft(source.buffer, 512, 512));
  EXPECT_EQ(result.channel(300, 200, ChannelRed), 10);
  EXPECT_EQ(result.channel(300, 200, ChannelBlue), 30);
  // (0, 0) reaches the block through its taps (-3, 0) and (-4, 1): (6 x 10 + 2 x 250) / 8.
  EXPECT_EQ(result.channel(0, 0, ChannelRed), 70);
  EXPECT_EQ(result.channel(0, 0, ChannelGreen), 20);
}

TEST(UpscaleSoft, WholeFactorsOnlyOtherwiseBlackNotACrash) {
  OwnedPixels source(64, 64);
  source.fill(99, 99, 99);
  OwnedPixels smaller(upscaleSoft(source.buffer, 32, 32));
  EXPECT_EQ(smaller.buffer.width, 32u);
  EXPECT_EQ(smaller.channel(5, 5, ChannelRed), 0);
  OwnedPixels uneven(upscaleSoft(source.buffer, 100, 70)); // factor 1 with a black margin
  EXPECT_EQ(uneven.buffer.width, 100u);
  EXPECT_EQ(uneven.channel(30, 30, ChannelRed), 99);
  EXPECT_EQ(uneven.channel(80, 30, ChannelRed), 0);
  EXPECT_EQ(uneven.channel(30, 66, ChannelRed), 0); // rows 64..69 are black
  PixelBuffer empty{0, 0, nullptr};
  OwnedPixels fromEmpty(upscaleSoft(empty, 8, 8));
  EXPECT_EQ(fromEmpty.channel(7, 7, ChannelGreen), 0);
}

TEST(GlowImage, CentreEdgeAndCornerValues) {
  OwnedPixels glow(makeGlowImage());
  ASSERT_EQ(glow.buffer.width, 256u);
  ASSERT_EQ(glow.buffer.height, 256u);
  for (int ch = 0; ch < 4; ++ch) {
    EXPECT_EQ(glow.channel(127, 127, ch), 255);
    EXPECT_EQ(glow.channel(0, 127, ch), 128); // row 127, column 0: distance 127
    EXPECT_EQ(glow.channel(255, 255, ch), 74);
    EXPECT_EQ(glow.channel(0, 0, ch), 75);
    EXPECT_EQ(glow.channel(255, 0, ch), 75);
    EXPECT_EQ(glow.channel(0, 255, ch), 75);
  }
  EXPECT_EQ(glow.channel(128, 127, ChannelRed), 254);
  EXPECT_EQ(glow.channel(128, 128, ChannelRed), 254); // 255 - 1.414 rounds to 254
}

} // namespace
