#pragma once
// Reading vertices of a flexible vertex format (FVF) out of a vertex buffer into the
// rasterizer's vertex records. Only pre-transformed positions (D3DFVF_XYZRHW) can be
// drawn: the device has no transform or lighting stage.
#include "platform/port/d3d8.h"
#include "platform/port/rasterizer.h"

#include <vector>

namespace port::d3d {

struct VertexLayout {
  bool drawable = false; // XYZRHW position
  UINT size = 0;         // bytes per vertex
  int diffuseOffset = -1; // bytes from the vertex start; -1: absent (reads as opaque white)
  int texCoordOffset = -1; // first coordinate set; -1: absent (reads as 0, 0)
  UINT texCoordFloats = 0; // in the first set; a one-float set reads v as 0
};

VertexLayout vertexLayout(DWORD fvf);

// Copies `count` vertices from `bytes`, one every `stride` bytes; the caller has checked
// that they lie inside the buffer.
void gatherVertices(const BYTE* bytes, UINT stride, const VertexLayout& layout, UINT count,
                    std::vector<raster::Vertex>& out);

} // namespace port::d3d
