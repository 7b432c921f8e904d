// The sprite spiral: seven arms from the centre, each a smooth curve through eight
// control points that swing and breathe with the clock, tumbled in 3D by the integer
// rotation and traced by 400 glowing 16 x 16 sprites added onto the frame. A sync flash
// widens the figure (only the horizontal scale carries the flash level).
#include "scenes/spritespiral.h"

#include <cstdint>

#include "content/heap.h"
#include "content/maths.h"
#include "content/sharedvertices.h"
#include "scenes/sceneinputs.h"
#include "shell/globals.h"

namespace {

constexpr int SpiralStrands = 7;
constexpr int StrandPoints = 8;       // point 0 is the centre
constexpr int SegmentsPerStrand = 5;  // from point 1 to point 6
constexpr int FirstSegmentEnd = 2;    // segment g runs from point g + 1 to point g + 2
constexpr int SamplesPerSegment = 80; // sprites per segment
constexpr int SpriteCount = SpiralStrands * SegmentsPerStrand * SamplesPerSegment; // 2800
constexpr int VerticesPerSprite = 6;
constexpr int SpriteVertexCount = SpriteCount * VerticesPerSprite; // 16800
constexpr UINT SpriteTriangleCount = SpriteCount * 2;
constexpr UINT SpriteVertexBytes = SpriteVertexCount * sizeof(ScreenVertex); // 470400
static_assert(SpriteVertexCount <= static_cast<int>(SharedVertexCount));

constexpr float SpriteSize = 16.0f; // pixels at every depth
constexpr DWORD SpriteWhite = 0x00FFFFFF;
constexpr float SpriteDepth = 0.0f;
constexpr float SpriteRhw = 1.0f;

// A sprite quad's corners from its top-left, in sprite sizes; also their texture u, v.
struct SpriteCorner {
  float dx, dy;
};
constexpr SpriteCorner SpriteCorners[VerticesPerSprite] = {{0, 0}, {1, 0}, {0, 1}, {1, 0}, {0, 1}, {1, 1}};

// The arms: strand i at i / StrandSpread radians (7 strands over the full circle).
constexpr double StrandSpread = 1.1140846016751103;
constexpr double SwingMs = 2000.0;   // tau = T / 2000
constexpr double SwingPerPoint = 0.6; // theta = 0.6 j cos tau + strand angle
constexpr double ArmReach = 150.0;   // rho = 150 a sin(a + tau), a = j - 1
constexpr double ArmHeight = 250.0;  // z = 250 sin(2 j + tau)
constexpr double HeightPerPoint = 2.0;

// The tumble: the clock over these is the angle about X, Y and Z.
constexpr double TumbleXMs = 6000.0, TumbleYMs = 5500.0, TumbleZMs = 6900.0;
// Projection: offset depth e = z + 700 multiplies; f = screenWidth / 1.6.
constexpr std::int32_t DepthOffset = 700;
constexpr double FocalDivisor = 1.6;

// Lives from the first frame of the scene to the end of the run: quad q = (i 5 + g) 80 + s.
ScreenVertex* spriteVertices = nullptr;

// On the first call: the array and its constant fields (depth, rhw, colour, u, v). False
// when the heap refuses (the next call tries again).
bool haveSpriteVertices() {
  if (spriteVertices) return true;
  spriteVertices = static_cast<ScreenVertex*>(memAlloc(SpriteVertexBytes));
  if (!spriteVertices) return false;
  for (int q = 0; q < SpriteCount; ++q)
    for (int c = 0; c < VerticesPerSprite; ++c) {
      ScreenVertex& v = spriteVertices[q * VerticesPerSprite + c];
      v.z = SpriteDepth;
      v.rhw = SpriteRhw;
      v.diffuse = SpriteWhite;
      v.u = SpriteCorners[c].dx;
      v.v = SpriteCorners[c].dy;
    }
  return true;
}

// Control point j of strand i at T milliseconds; point 1 always lies on the axis.
IntPoint controlPoint(int i, int j, double T) {
  if (j == 0) return {0, 0, 0};
  const double tau = T / SwingMs;
  const double a = j - 1;
  const double theta = SwingPerPoint * j * cosD(tau) + i / StrandSpread;
  const double rho = ArmReach * a * sinD(a + tau);
  return {static_cast<std::int32_t>(roundToInt(rho * cosD(theta))), static_cast<std::int32_t>(roundToInt(rho * sinD(theta))),
          static_cast<std::int32_t>(roundToInt(ArmHeight * sinD(HeightPerPoint * j + tau)))};
}

struct ScreenPoints {
  float x[SpiralStrands][StrandPoints];
  float y[SpiralStrands][StrandPoints];
};

// Farther points (larger turned z) spread farther from the centre.
void projectControlPoints(double T, ScreenPoints& out) {
  const double f = screenWidth / FocalDivisor;
  for (int i = 0; i < SpiralStrands; ++i)
    for (int j = 0; j < StrandPoints; ++j) {
      const IntPoint r = rotateIntPoint(controlPoint(i, j, T), T / TumbleXMs, T / TumbleYMs, T / TumbleZMs);
      const double e = r.z + DepthOffset;
      out.x[i][j] = static_cast<float>(r.x * e / (f - flashLevel) + screenWidth / 2);
      out.y[i][j] = static_cast<float>(r.y * e / f + screenHeight / 2);
    }
}

void placeSprite(ScreenVertex* quad, float x, float y) {
  for (int c = 0; c < VerticesPerSprite; ++c) {
    quad[c].x = x + SpriteCorners[c].dx * SpriteSize;
    quad[c].y = y + SpriteCorners[c].dy * SpriteSize;
  }
}

// Sample s = 0 sits on the segment's first point; its end point is the next segment's
// first sample, so the arm has no doubled sprite and stops 1/80 segment short of point 6.
void placeSprites(const ScreenPoints& p) {
  for (int i = 0; i < SpiralStrands; ++i)
    for (int g = 0; g < SegmentsPerStrand; ++g) {
      const int k = g + FirstSegmentEnd;
      const float* x = p.x[i];
      const float* y = p.y[i];
      for (int s = 0; s < SamplesPerSegment; ++s) {
        const double u = static_cast<double>(s) / SamplesPerSegment;
        const int quad = (i * SegmentsPerStrand + g) * SamplesPerSegment + s;
        placeSprite(spriteVertices + quad * VerticesPerSprite, cubicInterpolate(x[k - 2], x[k - 1], x[k], x[k + 1], u),
                    cubicInterpolate(y[k - 2], y[k - 1], y[k], y[k + 1], u));
      }
    }
}

// The spot texture added onto the frame: dense parts of the arms glow brightest.
void setSpriteStates() {
  device->SetTexture(0, spotTexture);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
}

} // namespace

HRESULT drawSpriteSpiralScene(DWORD t) {
  if (!haveSpriteVertices()) return E_FAIL;
  const auto T = static_cast<double>(t); // the absolute system time
  ScreenPoints points;
  projectControlPoints(T, points);
  placeSprites(points);
  // A refused lock skips this frame's draw; the states are set all the same.
  const bool filled = fillSharedVertices(spriteVertices, SpriteVertexBytes);
  setSpriteStates();
  useSharedVertices();
  if (!filled) return S_OK;
  return FAILED(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, SpriteTriangleCount)) ? E_FAIL : S_OK;
}
