// The terrain: the height field turning about its vertical axis, seen from a fixed tilt
// of one radian, each grid point projected and shaded by depth on the processor (near is
// white, far is black) and the grid drawn as one opaque, depth-tested triangle list over
// the stone texture.
#include "scenes/terrain.h"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "content/maths.h"
#include "content/sharedvertices.h"
#include "scenes/sceneinputs.h"
#include "shell/globals.h"

namespace {

// The turn: 20 sin(t / 14000) + 40 + t / 4000 radians (one radian every 4 s, swinging).
constexpr double SwingRadians = 20.0, SwingMs = 14000.0;
constexpr double TurnStart = 40.0, TurnMs = 4000.0;
constexpr double TiltRadians = 1.0; // about X
constexpr double RollRadians = 0.0; // about Z

// Viewing distance 1000, depth stored as d / 2000; the scale is 2W on both axes.
constexpr float ViewDistance = 1000.0f;
constexpr float DepthRange = 2000.0f;
// Darkness g = nearest(depth x 350 - 60), held to 0..255; the grey is 255 - g.
constexpr float ShadeScale = 350.0f, ShadeOffset = 60.0f;
constexpr std::int64_t DarkestShade = 255;
constexpr DWORD GreyLevels = 0x010101;

constexpr int VerticesPerCell = 6; // two triangles
// A cell's vertices, as offsets from its first point: (0, 0), (1, 0), (0, 1), then (0, 1),
// (1, 0), (1, 1) in (row, column) steps.
struct CellCorner {
  int row, column;
};
constexpr CellCorner CellCorners[VerticesPerCell] = {{0, 0}, {1, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 1}};

float turnAngle(double t) { return static_cast<float>(SwingRadians * sinD(t / SwingMs) + TurnStart + t / TurnMs); }

// Every grid point turned, projected and shaded into the mesh's screen and colour arrays.
void projectPoints(const HeightMesh& mesh, float angle) {
  const auto scale = static_cast<float>(2 * screenWidth);
  const auto centreX = static_cast<float>(screenWidth / 2);
  const auto centreY = static_cast<float>(screenHeight / 2);
  const std::int32_t count = mesh.cols * mesh.rows;
  for (std::int32_t i = 0; i < count; ++i) {
    const TaggedPoint p = rotateTaggedPoint(mesh.points[i], TiltRadians, angle, RollRadians);
    const float d = 2.0f * p.z + ViewDistance;
    TaggedPoint& s = mesh.screen[i];
    s.x = scale * p.x / d + centreX;
    s.y = scale * p.y / d + centreY;
    s.z = d / DepthRange;
    const std::int64_t g = std::clamp<std::int64_t>(roundToInt(s.z * ShadeScale - ShadeOffset), 0, DarkestShade);
    mesh.colours[i] = static_cast<DWORD>(DarkestShade - g) * GreyLevels;
  }
}

// Two triangles per cell, row by row; rhw keeps the 1 the mesh was built with.
std::int32_t assembleCells(const HeightMesh& mesh) {
  ScreenVertex* v = mesh.vertices;
  for (std::int32_t r = 0; r + 1 < mesh.rows; ++r)
    for (std::int32_t q = 0; q + 1 < mesh.cols; ++q)
      for (const CellCorner& c : CellCorners) {
        const std::int32_t i = (r + c.row) * mesh.cols + q + c.column;
        const TaggedPoint& s = mesh.screen[i];
        v->x = s.x;
        v->y = s.y;
        v->z = s.z;
        v->diffuse = mesh.colours[i];
        v->u = std::bit_cast<float>(mesh.points[i].tag0);
        v->v = std::bit_cast<float>(mesh.points[i].tag1);
        ++v;
      }
  return static_cast<std::int32_t>(v - mesh.vertices);
}

// A mesh whose arrays were made and whose cells fit its vertex array and the shared buffer.
bool drawable(const HeightMesh& mesh) {
  if (!mesh.points || !mesh.screen || !mesh.vertices || !mesh.colours) return false;
  if (mesh.cols < 2 || mesh.rows < 2) return false;
  const std::int64_t cells = static_cast<std::int64_t>(mesh.cols - 1) * (mesh.rows - 1);
  return cells * VerticesPerCell <= SharedVertexCount;
}

// The stone modulated by the grey shade, replacing what lies behind.
void setTerrainStates() {
  device->SetTexture(0, stoneTexture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
}

} // namespace

HRESULT drawTerrainScene(DWORD t, HeightMesh& mesh) {
  if (!drawable(mesh)) return E_FAIL;
  projectPoints(mesh, turnAngle(static_cast<double>(t)));
  const std::int32_t vertexCount = assembleCells(mesh);
  // A refused lock skips this frame's draw; the states are set all the same.
  const bool filled = fillSharedVertices(mesh.vertices, static_cast<UINT>(vertexCount) * sizeof(ScreenVertex));
  setTerrainStates();
  useSharedVertices();
  if (!filled) return S_OK;
  const auto triangles = static_cast<UINT>(vertexCount / 3);
  return FAILED(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles)) ? E_FAIL : S_OK;
}
