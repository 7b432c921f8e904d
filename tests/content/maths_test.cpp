#include "content/maths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

TEST(RoundToInt, NearestWithTiesToEvenNeverTruncating) {
  EXPECT_EQ(roundToInt(2.5), 2);
  EXPECT_EQ(roundToInt(3.5), 4);
  EXPECT_EQ(roundToInt(-0.5), 0);
  EXPECT_EQ(roundToInt(-1.5), -2);
  EXPECT_EQ(roundToInt(2.6), 3);
  EXPECT_EQ(roundToInt(-2.6), -3);
  EXPECT_EQ(roundToInt(0.49999999999999994), 0);
}

TEST(RoundToInt, KeepsValuesBeyondThirtyTwoBits) {
  EXPECT_EQ(roundToInt(3.0e9), 3000000000LL);
  EXPECT_EQ(roundToInt(-5.0e12 - 0.5), -5000000000000LL);
}

TEST(RotateIntPoint, ZeroAnglesScaleByAboutOneHalf) {
  const IntPoint r = rotateIntPoint({256, 0, 0}, 0, 0, 0);
  EXPECT_EQ(r.x, 127);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.z, 0);
}

TEST(RotateIntPoint, QuarterTurnValuesFromTheScaledSines) {
  // sy = round(255 sin 1) = 215, cy = round(255 cos 1) = 138.
  const IntPoint r = rotateIntPoint({0, 0, 273}, 0, 1.0, 0);
  EXPECT_EQ(r.x, -115);
  EXPECT_EQ(r.y, 73);
  EXPECT_EQ(r.z, 0);
}

TEST(RotateIntPoint, ShiftsRoundTowardsMinusInfinity) {
  // (-1 * 255) >> 8 = -1 and (-1 * 255) >> 9 = -1; a truncating division would give 0.
  const IntPoint r = rotateIntPoint({-1, 0, -1}, 0, 0, 0);
  EXPECT_EQ(r.x, -1);
  EXPECT_EQ(r.y, -1);
  EXPECT_EQ(r.z, 0);
}

TEST(RotateTaggedPoint, ZeroAnglesExchangeYAndZAndKeepThePayload) {
  const TaggedPoint r = rotateTaggedPoint({1, 2, 3, 0xAAAA5555u, 7u, 0xFFFFFFFFu}, 0, 0, 0);
  EXPECT_EQ(r.x, 1.0f);
  EXPECT_EQ(r.y, 3.0f);
  EXPECT_EQ(r.z, 2.0f);
  EXPECT_EQ(r.tag0, 0xAAAA5555u);
  EXPECT_EQ(r.tag1, 7u);
  EXPECT_EQ(r.tag2, 0xFFFFFFFFu);
}

TEST(RotateTaggedPoint, EachAxisTurnsInItsOwnDirection) {
  const double a = 0.3;
  const float s = static_cast<float>(std::sin(a)), c = static_cast<float>(std::cos(a));
  const TaggedPoint aboutY = rotateTaggedPoint({1, 0, 0, 0, 0, 0}, 0, a, 0);
  EXPECT_FLOAT_EQ(aboutY.x, c);
  EXPECT_FLOAT_EQ(aboutY.y, s);
  EXPECT_FLOAT_EQ(aboutY.z, 0);
  const TaggedPoint aboutZ = rotateTaggedPoint({1, 0, 0, 0, 0, 0}, 0, 0, a);
  EXPECT_FLOAT_EQ(aboutZ.x, c);
  EXPECT_FLOAT_EQ(aboutZ.y, 0);
  EXPECT_FLOAT_EQ(aboutZ.z, -s);
  const TaggedPoint aboutX = rotateTaggedPoint({0, 1, 0, 0, 0, 0}, a, 0, 0);
  EXPECT_FLOAT_EQ(aboutX.x, 0);
  EXPECT_FLOAT_EQ(aboutX.y, s);
  EXPECT_FLOAT_EQ(aboutX.z, c);
}

TEST(RotateTaggedPoint, KeepsTheDistanceFromTheOrigin) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-500, 500);
  std::uniform_real_distribution<double> angle(-7, 7);
  for (int i = 0; i < 200; ++i) {
    const TaggedPoint p{coordinate(random), coordinate(random), coordinate(random), 0, 0, 0};
    const TaggedPoint r = rotateTaggedPoint(p, angle(random), angle(random), angle(random));
    const double before = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
    const double after = std::sqrt(double(r.x) * r.x + double(r.y) * r.y + double(r.z) * r.z);
    EXPECT_NEAR(after, before, 1e-4 * before + 1e-3);
  }
}

TEST(CubicInterpolate, EvenlySpacedSamplesDoNotGiveALine) {
  const float expected[] = {1.0f, 1.34375f, 1.5f, 1.65625f, 2.0f};
  for (int i = 0; i <= 4; ++i)
    EXPECT_EQ(cubicInterpolate(0, 1, 2, 3, i * 0.25), expected[i]) << "t = " << i * 0.25;
}

TEST(CubicInterpolate, StepSamplesGiveExactlyT) {
  for (int i = 0; i <= 8; ++i) EXPECT_EQ(cubicInterpolate(0, 0, 1, 1, i / 8.0), i / 8.0f);
}

} // namespace
