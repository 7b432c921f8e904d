#include "content/maths.h"

#include <cmath>

namespace {
// Integer rotation: sines and cosines scaled by this, then shifted back down.
constexpr double RotateIntScale = 255.0;
constexpr int RotateIntShift = 8;
// The last three steps shift one more, halving the result.
constexpr int RotateIntHalvingShift = 9;

struct IntAngle {
  std::int32_t s, c;
};

IntAngle intAngle(double radians) {
  return {static_cast<std::int32_t>(roundToInt(RotateIntScale * sinD(radians))),
          static_cast<std::int32_t>(roundToInt(RotateIntScale * cosD(radians)))};
}
} // namespace

double sinD(double radians) { return std::sin(radians); }
double cosD(double radians) { return std::cos(radians); }
double sqrtD(double value) { return std::sqrt(value); }

// nearbyint honours the current rounding mode, which is round-to-nearest-even by default.
std::int64_t roundToInt(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

TaggedPoint rotateTaggedPoint(const TaggedPoint& p, double ax, double ay, double az) {
  const float sx = static_cast<float>(sinD(ax)), cx = static_cast<float>(cosD(ax));
  const float sy = static_cast<float>(sinD(ay)), cy = static_cast<float>(cosD(ay));
  const float sz = static_cast<float>(sinD(az)), cz = static_cast<float>(cosD(az));
  // About Y, then Z, then X; the last step also exchanges the roles of y and z.
  const float x1 = p.x * cy - p.z * sy;
  const float z1 = p.z * cy + p.x * sy;
  const float y2 = p.y * cz - x1 * sz;
  const float x2 = x1 * cz + p.y * sz;
  const float y3 = z1 * cx + y2 * sx;
  const float z3 = y2 * cx - z1 * sx;
  return {x2, y3, z3, p.tag0, p.tag1, p.tag2};
}

IntPoint rotateIntPoint(const IntPoint& p, double ax, double ay, double az) {
  const IntAngle a = intAngle(ax), b = intAngle(ay), g = intAngle(az);
  // >> on negative values is an arithmetic shift (rounds towards minus infinity) in C++20.
  const std::int32_t x1 = (p.x * b.c - p.z * b.s) >> RotateIntShift;
  const std::int32_t z1 = (p.z * b.c + p.x * b.s) >> RotateIntShift;
  const std::int32_t y2 = (p.y * g.c - x1 * g.s) >> RotateIntShift;
  const std::int32_t x2 = (x1 * g.c + p.y * g.s) >> RotateIntHalvingShift;
  const std::int32_t y3 = (z1 * a.c + y2 * a.s) >> RotateIntHalvingShift;
  const std::int32_t z3 = (y2 * a.c - z1 * a.s) >> RotateIntHalvingShift;
  return {x2, y3, z3};
}

float cubicInterpolate(float p0, float p1, float p2, float p3, double t) {
  // Float throughout; only t squared (and so its product) is double.
  const float P = ((p3 - p2) - p0) + p1;
  const float Q = (p0 - p1) - P;
  const float R = p2 - p0;
  const float ft = static_cast<float>(t);
  const double t2 = t * t;
  const float cubicPart = static_cast<float>((P * ft + Q) * t2);
  return (cubicPart + R * ft) + p1;
}
