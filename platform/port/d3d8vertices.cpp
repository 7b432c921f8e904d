#include "platform/port/d3d8vertices.h"

#include <cstring>

namespace port::d3d {
namespace {

constexpr UINT FloatSize = 4;
constexpr UINT ColorSize = 4;
constexpr UINT PositionRhwSize = 4 * FloatSize;
constexpr UINT NormalSize = 3 * FloatSize;
constexpr int TexCoordSizeShift = 16; // D3DFVF_TEXCOORDSIZEn: two bits per set from bit 16
constexpr DWORD OpaqueWhite = 0xFFFFFFFF;

// Floats in coordinate set `set`: the size codes are 0 = 2, 1 = 3, 2 = 4, 3 = 1.
UINT texCoordFloats(DWORD fvf, UINT set) {
  static constexpr UINT FloatsForCode[4] = {2, 3, 4, 1};
  return FloatsForCode[(fvf >> (TexCoordSizeShift + 2 * set)) & 3];
}

} // namespace

VertexLayout vertexLayout(DWORD fvf) {
  VertexLayout layout;
  if ((fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZRHW) return layout;
  layout.drawable = true;
  UINT offset = PositionRhwSize;
  if (fvf & D3DFVF_NORMAL) offset += NormalSize;
  if (fvf & D3DFVF_PSIZE) offset += FloatSize;
  if (fvf & D3DFVF_DIFFUSE) {
    layout.diffuseOffset = int(offset);
    offset += ColorSize;
  }
  if (fvf & D3DFVF_SPECULAR) offset += ColorSize;
  UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (sets > 0) {
    layout.texCoordOffset = int(offset);
    layout.texCoordFloats = texCoordFloats(fvf, 0);
  }
  for (UINT set = 0; set < sets; ++set) offset += texCoordFloats(fvf, set) * FloatSize;
  layout.size = offset;
  return layout;
}

void gatherVertices(const BYTE* bytes, UINT stride, const VertexLayout& layout, UINT count,
                    std::vector<raster::Vertex>& out) {
  out.resize(count);
  for (UINT i = 0; i < count; ++i) {
    const BYTE* vertex = bytes + std::size_t(i) * stride;
    raster::Vertex& v = out[i];
    float position[4]; // x, y, z, rhw
    std::memcpy(position, vertex, PositionRhwSize);
    v.x = position[0];
    v.y = position[1];
    v.z = position[2];
    v.rhw = position[3];
    v.diffuse = OpaqueWhite;
    if (layout.diffuseOffset >= 0) std::memcpy(&v.diffuse, vertex + layout.diffuseOffset, ColorSize);
    v.u = v.v = 0.0f;
    if (layout.texCoordOffset >= 0) {
      std::memcpy(&v.u, vertex + layout.texCoordOffset, FloatSize);
      if (layout.texCoordFloats > 1) std::memcpy(&v.v, vertex + layout.texCoordOffset + FloatSize, FloatSize);
    }
  }
}

} // namespace port::d3d
