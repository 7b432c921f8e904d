#pragma once
// Scalar maths, rounding, point rotation and cubic interpolation. Angles are radians.
#include <cstdint>

struct TaggedPoint {
  float x, y, z;
  std::uint32_t tag0, tag1, tag2; // payload carried unchanged through rotation
};
static_assert(sizeof(TaggedPoint) == 24);

struct IntPoint {
  std::int32_t x, y, z;
};

double sinD(double radians);
double cosD(double radians);
double sqrtD(double value);
// Nearest integer, ties to even; every float-to-integer conversion goes through it.
std::int64_t roundToInt(double value);

TaggedPoint rotateTaggedPoint(const TaggedPoint& p, double ax, double ay, double az);
// Integer rotation with sines scaled by 255; the result is scaled by about one half.
IntPoint rotateIntPoint(const IntPoint& p, double ax, double ay, double az);
// t = 0 gives p1, t = 1 gives p2.
float cubicInterpolate(float p0, float p1, float p2, float p3, double t);
