// Text on strands: one sentence written backwards, a character at a time, along eight
// curves through five control points each that writhe in 3D with the clock. Every
// character is its own drawText call, so all of them add onto the frame.
#include "scenes/strands.h"

#include <cstdint>
#include <cstring>

#include "content/maths.h"
#include "content/text.h"
#include "shell/globals.h"

namespace {

const char StrandSentence[] = "and do remember that a gramme is better than a damn...";

constexpr int StrandCount = 8;
constexpr int StrandPoints = 5;       // point 0 is the common root
constexpr int SegmentsPerStrand = 2;  // point 1 to 2, then point 2 to 3
constexpr int FirstSegmentEnd = 2;    // segment g runs from point g + 1 to point g + 2
constexpr int StepsPerSegment = 30;   // characters per segment

// Strand i at i / StrandSpread radians: strand 7 comes back onto strand 0.
constexpr double StrandSpread = 1.1140846016751103;
constexpr double WrithingMs = 2000.0;  // T = t / 2000
constexpr double StrandReach = 250.0;  // s = sin(a + T) a 250, a = j - 1
constexpr double SwingX = 1.6;         // x follows cos(1.6 j cos T + strand angle)
constexpr double StrandHeight = 300.0; // z = 300 sin(j / 0.5 + T)
constexpr double HeightDivisor = 0.5;

// The view: a fixed turn of 1 radian about Y and a sway about Z of 0.7 sin(t / 1000).
constexpr double ViewTurnX = 0.0, ViewTurnY = 1.0;
constexpr double SwayRadians = 0.7, SwayMs = 1000.0;
// Projection: offset depth e = z + 700 multiplies; f = screenWidth / 1.6.
constexpr std::int32_t DepthOffset = 700;
constexpr double FocalDivisor = 1.6;

constexpr float CharacterScale = 0.7f;

IntPoint controlPoint(int i, int j, double T) {
  if (j == 0) return {0, 0, 0};
  const double a = j - 1;
  const double s = sinD(a + T) * a * StrandReach;
  const double phi = i / StrandSpread;
  return {static_cast<std::int32_t>(roundToInt(s * cosD(SwingX * j * cosD(T) + phi))),
          static_cast<std::int32_t>(roundToInt(s * sinD(j * cosD(T) + phi))),
          static_cast<std::int32_t>(roundToInt(StrandHeight * sinD(j / HeightDivisor + T)))};
}

struct ScreenPoints {
  float x[StrandCount][StrandPoints];
  float y[StrandCount][StrandPoints];
};

// Farther points (larger turned z) spread farther from the centre.
void projectControlPoints(double t, ScreenPoints& out) {
  const double T = t / WrithingMs;
  const double sway = SwayRadians * sinD(t / SwayMs);
  const double f = screenWidth / FocalDivisor;
  for (int i = 0; i < StrandCount; ++i)
    for (int j = 0; j < StrandPoints; ++j) {
      const IntPoint p = rotateIntPoint(controlPoint(i, j, T), ViewTurnX, ViewTurnY, sway);
      const double e = p.z + DepthOffset;
      out.x[i][j] = static_cast<float>(p.x * e / f + screenWidth / 2);
      out.y[i][j] = static_cast<float>(p.y * e / f + screenHeight / 2);
    }
}

} // namespace

HRESULT drawStrandScene(DWORD t, const BitmapFont& font) {
  const std::size_t len = std::strlen(StrandSentence);
  ScreenPoints p;
  projectControlPoints(static_cast<double>(t), p);
  char character[2] = {};
  std::size_t n = 0; // slot n shows the sentence's character len - 1 - (n mod len)
  for (int i = 0; i < StrandCount; ++i)
    for (int g = 0; g < SegmentsPerStrand; ++g) {
      const int k = g + FirstSegmentEnd;
      const float* x = p.x[i];
      const float* y = p.y[i];
      for (int q = 0; q < StepsPerSegment; ++q, ++n) {
        const float u = static_cast<float>(q) / StepsPerSegment;
        const float cx = cubicInterpolate(x[k - 2], x[k - 1], x[k], x[k + 1], u);
        const float cy = cubicInterpolate(y[k - 2], y[k - 1], y[k], y[k + 1], u);
        character[0] = StrandSentence[len - 1 - n % len];
        drawText(static_cast<std::int32_t>(roundToInt(cx)), static_cast<std::int32_t>(roundToInt(cy)), CharacterScale,
                 CharacterScale, character, font);
      }
    }
  return S_OK;
}
