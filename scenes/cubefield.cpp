// The cube field: 315 cubes on a 5 x 9 x 7 grid, 45 units apart and centred on the
// origin, each swelling from nothing to a half-edge of 23 and back as a wave runs through
// the grid, tinted by a second wave, turned as one block and projected on the processor.
// A sync flash shortens the viewing distance, so the block jumps toward the viewer.
#include "scenes/cubefield.h"

#include <algorithm>
#include <cstdint>

#include "content/heap.h"
#include "content/maths.h"
#include "content/sharedvertices.h"
#include "scenes/sceneinputs.h"
#include "shell/globals.h"

namespace {

constexpr int GridColumns = 5; // along x (i)
constexpr int GridRows = 9;    // along y (m)
constexpr int GridLayers = 7;  // along z (o)
constexpr int CubeCount = GridColumns * GridRows * GridLayers; // 315
constexpr double GridSpacing = 45.0;
constexpr double GridOriginX = -90.0, GridOriginY = -180.0, GridOriginZ = -135.0; // centre of cube (0, 0, 0)

constexpr int CornersPerCube = 8;
constexpr int TrianglesPerCube = 12;
constexpr int VerticesPerTriangle = 3;
constexpr int VerticesPerCube = TrianglesPerCube * VerticesPerTriangle;
constexpr int CubeVertexCount = CubeCount * VerticesPerCube; // 11340
constexpr UINT CubeTriangleCount = CubeCount * TrianglesPerCube;
constexpr UINT CubeVertexBytes = CubeVertexCount * sizeof(ScreenVertex); // 317520
static_assert(CubeVertexCount <= static_cast<int>(SharedVertexCount));

// A corner as projected this frame, with its fixed texture coordinates.
struct CubeCorner {
  float x, y, depth; // screen pixels; depth 0..1
  float u, v;
  DWORD colour; // ARGB, alpha 0
};
static_assert(sizeof(CubeCorner) == 24);
constexpr std::size_t CubeCornerBytes = CubeCount * CornersPerCube * sizeof(CubeCorner); // 60480

// Corner k's unit offset: x from bit 0, y from bit 1, z from bit 2 (set: the far side, -1).
int cornerX(int k) { return (k & 1) ? 1 : -1; }
int cornerY(int k) { return (k & 2) ? 1 : -1; }
int cornerZ(int k) { return (k & 4) ? -1 : 1; }

// The 12 triangles of a cube over its corners.
constexpr int CubeTriangles[TrianglesPerCube][VerticesPerTriangle] = {
    {0, 1, 2}, {1, 2, 3}, {0, 1, 4}, {1, 4, 5}, {1, 3, 5}, {3, 5, 7},
    {2, 3, 7}, {2, 6, 7}, {0, 2, 4}, {4, 2, 6}, {4, 5, 7}, {4, 7, 6},
};

// Clock divisors (milliseconds per radian) of the four phases.
constexpr float TurnXMs = 12000.0f; // about X
constexpr float TurnYMs = 8000.0f;  // about Y
constexpr float FastMs = 2000.0f;   // about Z, and the fast term of both waves
constexpr float SlowMs = 3000.0f;   // the slow term of both waves

// The size wave: half-edge 85 s + 10, held to 0..23 (edge 46: neighbours just touch).
constexpr float WaveHalfEdgeScale = 85.0f;
constexpr float WaveHalfEdgeOffset = 10.0f;
constexpr float HalfEdgeLimit = 23.0f;
constexpr double WaveLayerDivisor = 2.5;  // o / 2.5
constexpr double WaveColumnDivisor = 5.0; // i / 5
constexpr double WaveRowDivisor = 7.5;    // m / 7.5
constexpr double WaveRowSlowDivisor = 5.0; // m / 5

// The shade wave: 1 + sin(4 cos(y / 90 + slow) + turned x / 80 + z / 70 + fast), 0..2.
constexpr double ShadeSwing = 4.0;
constexpr double ShadeYDivisor = 90.0, ShadeXDivisor = 80.0, ShadeZDivisor = 70.0;
constexpr double ShadeRed = 99.0, ShadeGreen = 88.0, ShadeBlue = 66.0; // at shade 1
constexpr int RedShift = 16, GreenShift = 8;

// Viewing distance 1000, shortened by the flash level; depth stored as d / 2000.
constexpr float ViewDistance = 1000.0f;
constexpr float DepthRange = 2000.0f;
constexpr float VertexRhw = 1.0f;

// The arrays live from the first frame of the scene to the end of the run.
CubeCorner* cubeCorners = nullptr;    // corner k of cube n is record 8 n + k
ScreenVertex* cubeVertices = nullptr; // cube n, triangle t, vertex e is record 36 n + 3 t + e

struct Phases {
  float turnX, turnY, fast, slow; // the clock over TurnXMs, TurnYMs, FastMs, SlowMs
};

int cubeIndex(int i, int m, int o) { return (o * GridRows + m) * GridColumns + i; }

// The texture runs 0..2 across the grid in u and in v; the depth term adds to both.
void setCornerTexture(int i, int m, int o) {
  CubeCorner* corners = cubeCorners + cubeIndex(i, m, o) * CornersPerCube;
  for (int k = 0; k < CornersPerCube; ++k) {
    const double w = (cornerZ(k) / 2.0 + o + 0.5) / GridLayers;
    corners[k].u = static_cast<float>((cornerX(k) / 2.0 + i + 0.5) / GridColumns + w);
    corners[k].v = static_cast<float>((cornerY(k) / 2.0 + m + 0.5) / GridRows + w);
  }
}

// The fields that never change: rhw, and u, v from each vertex's corner.
void setVertexConstants() {
  for (int n = 0; n < CubeCount; ++n)
    for (int t = 0; t < TrianglesPerCube; ++t)
      for (int e = 0; e < VerticesPerTriangle; ++e) {
        const CubeCorner& corner = cubeCorners[n * CornersPerCube + CubeTriangles[t][e]];
        ScreenVertex& vertex = cubeVertices[n * VerticesPerCube + t * VerticesPerTriangle + e];
        vertex.rhw = VertexRhw;
        vertex.u = corner.u;
        vertex.v = corner.v;
      }
}

// On the first call: both arrays and their constant fields. False when the heap refuses
// (nothing is kept, the next call tries again).
bool haveCubeArrays() {
  if (cubeVertices) return true;
  cubeVertices = static_cast<ScreenVertex*>(memAlloc(CubeVertexBytes));
  cubeCorners = static_cast<CubeCorner*>(memAlloc(CubeCornerBytes));
  if (!cubeVertices || !cubeCorners) {
    memFree(cubeVertices);
    memFree(cubeCorners);
    cubeVertices = nullptr;
    cubeCorners = nullptr;
    return false;
  }
  for (int o = 0; o < GridLayers; ++o)
    for (int m = 0; m < GridRows; ++m)
      for (int i = 0; i < GridColumns; ++i) setCornerTexture(i, m, o);
  setVertexConstants();
  return true;
}

// The half-edge of cube (i, m, o): the same for all of its corners.
float halfEdge(int i, int m, int o, const Phases& ph) {
  const double q1 = sinD(sinD(static_cast<double>(o) - ph.slow) + ph.fast);
  const double q2 = sinD(cosD(static_cast<double>(m) + ph.slow) + q1 + o / WaveLayerDivisor);
  const double s = sinD(cosD(i / WaveColumnDivisor + m / WaveRowDivisor + ph.fast) + cosD(m / WaveRowSlowDivisor + ph.slow) + q2);
  const float r = static_cast<float>(WaveHalfEdgeScale * s + WaveHalfEdgeOffset);
  return std::clamp(r, 0.0f, HalfEdgeLimit);
}

DWORD shadeChannel(double level, int shift) { return static_cast<DWORD>(roundToInt(level)) << shift; }

// From black (shade 0) to red 198, green 176, blue 132 (shade 2).
DWORD cornerColour(const TaggedPoint& p, const TaggedPoint& turned, const Phases& ph) {
  const double b = 1.0 + sinD(ShadeSwing * cosD(p.y / ShadeYDivisor + ph.slow) + turned.x / ShadeXDivisor + p.z / ShadeZDivisor + ph.fast);
  return shadeChannel(ShadeRed * b, RedShift) + shadeChannel(ShadeGreen * b, GreenShift) + shadeChannel(ShadeBlue * b, 0);
}

// Turns, projects and shades corner point `p`; the same focal length on both axes.
void projectCorner(const TaggedPoint& p, const Phases& ph, CubeCorner& corner) {
  const TaggedPoint r = rotateTaggedPoint(p, ph.turnX, ph.turnY, ph.fast);
  const float d = (ViewDistance - static_cast<float>(flashLevel)) + 2.0f * r.z;
  const auto focal = static_cast<float>(2 * screenWidth);
  corner.x = focal * r.x / d + static_cast<float>(screenWidth / 2);
  corner.y = focal * r.y / d + static_cast<float>(screenHeight / 2);
  corner.depth = d / DepthRange;
  corner.colour = cornerColour(p, r, ph);
}

void placeCube(int i, int m, int o, const Phases& ph) {
  const float r = halfEdge(i, m, o, ph);
  const auto centreX = static_cast<float>(GridOriginX + GridSpacing * i);
  const auto centreY = static_cast<float>(GridOriginY + GridSpacing * m);
  const auto centreZ = static_cast<float>(GridOriginZ + GridSpacing * o);
  CubeCorner* corners = cubeCorners + cubeIndex(i, m, o) * CornersPerCube;
  for (int k = 0; k < CornersPerCube; ++k) {
    const TaggedPoint p = {centreX + r * static_cast<float>(cornerX(k)), centreY + r * static_cast<float>(cornerY(k)),
                           centreZ + r * static_cast<float>(cornerZ(k)), 0, 0, 0};
    projectCorner(p, ph, corners[k]);
  }
}

void assembleCubes() {
  for (int n = 0; n < CubeCount; ++n)
    for (int t = 0; t < TrianglesPerCube; ++t)
      for (int e = 0; e < VerticesPerTriangle; ++e) {
        const CubeCorner& corner = cubeCorners[n * CornersPerCube + CubeTriangles[t][e]];
        ScreenVertex& vertex = cubeVertices[n * VerticesPerCube + t * VerticesPerTriangle + e];
        vertex.x = corner.x;
        vertex.y = corner.y;
        vertex.z = corner.depth;
        vertex.diffuse = corner.colour;
      }
}

// The stone plus the shade, replacing what lies behind; the depth test sorts the cubes.
void setCubeStates() {
  device->SetTexture(0, stoneTexture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
}

} // namespace

HRESULT drawCubeFieldScene(DWORD t) {
  if (!haveCubeArrays()) return E_FAIL;
  const auto clock = static_cast<float>(t); // the absolute system time
  const Phases ph = {clock / TurnXMs, clock / TurnYMs, clock / FastMs, clock / SlowMs};
  for (int o = 0; o < GridLayers; ++o)
    for (int m = 0; m < GridRows; ++m)
      for (int i = 0; i < GridColumns; ++i) placeCube(i, m, o, ph);
  assembleCubes();
  // A refused lock skips this frame's draw; the states are set all the same, so the
  // layers after it find the device as they would after a drawn field.
  const bool filled = fillSharedVertices(cubeVertices, CubeVertexBytes);
  setCubeStates();
  useSharedVertices();
  if (!filled) return S_OK;
  return FAILED(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, CubeTriangleCount)) ? E_FAIL : S_OK;
}
