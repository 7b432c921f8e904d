// Drawing and texture updates of the device: the validation the platform does, then the
// rasterizer.
#include "platform/port/d3d8objects.h"
#include "platform/port/d3d8vertices.h"
#include "platform/port/testhooks.h"

#include <algorithm>

namespace port::d3d {
namespace {

bool topologyOf(D3DPRIMITIVETYPE type, UINT primitives, raster::Topology& topology, UINT& vertices) {
  switch (type) {
  case D3DPT_TRIANGLELIST:
    topology = raster::Topology::TriangleList;
    vertices = primitives * 3;
    return true;
  case D3DPT_TRIANGLESTRIP:
    topology = raster::Topology::TriangleStrip;
    vertices = primitives + 2;
    return true;
  case D3DPT_TRIANGLEFAN:
    topology = raster::Topology::TriangleFan;
    vertices = primitives + 2;
    return true;
  default: return false; // points and lines are not drawn by this device
  }
}

} // namespace

// Draws only inside BeginScene/EndScene, from stream 0, with a pre-transformed vertex
// format; everything read must lie inside the vertex buffer.
HRESULT SoftDevice::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  raster::Topology topology;
  UINT vertexCount = 0;
  constexpr UINT MaxPrimitives = 1u << 24; // keeps the vertex arithmetic below in range
  if (!inScene_ || !stream_ || PrimitiveCount > MaxPrimitives || port::shouldFail(port::FailPoint::DrawPrimitive) ||
      !topologyOf(PrimitiveType, PrimitiveCount, topology, vertexCount))
    return D3DERR_INVALIDCALL;
  VertexLayout layout = vertexLayout(vertexShader_);
  if (!layout.drawable || streamStride_ < layout.size) return D3DERR_INVALIDCALL;
  if (PrimitiveCount == 0) return D3D_OK;
  const std::vector<BYTE>& bytes = stream_->bytes();
  std::uint64_t end = (std::uint64_t(StartVertex) + vertexCount - 1) * streamStride_ + layout.size;
  if (end > bytes.size()) return D3DERR_INVALIDCALL;

  if (port::recordingDraws()) {
    const BYTE* first = bytes.data() + std::size_t(StartVertex) * streamStride_;
    port::recordDraw({int(PrimitiveType), PrimitiveCount, static_cast<IDirect3DTexture8*>(textures_[0]),
                      streamStride_, std::vector<std::uint8_t>(first, bytes.data() + end)});
  }
  raster::RasterState state;
  raster::TextureView texture = textures_[0] ? textures_[0]->view() : raster::TextureView{};
  if (HRESULT hr = translateStates(states_, texture, state); FAILED(hr)) return hr;
  gatherVertices(bytes.data() + std::size_t(StartVertex) * streamStride_, streamStride_, layout, vertexCount,
                 vertexScratch_);
  raster::drawTriangles(colorTarget(), depthTarget(), state, vertexScratch_.data(), int(vertexCount), topology);
  return D3D_OK;
}

// Copies a system-memory texture into a default-pool one of the same format. When the
// source has more levels, its first levels are skipped until the sizes match.
HRESULT SoftDevice::UpdateTexture(IDirect3DBaseTexture8* pSourceTexture, IDirect3DBaseTexture8* pDestinationTexture) {
  auto* source = dynamic_cast<SoftTexture*>(pSourceTexture);
  auto* destination = dynamic_cast<SoftTexture*>(pDestinationTexture);
  if (!source || !destination || source->pool() != D3DPOOL_SYSTEMMEM || destination->pool() != D3DPOOL_DEFAULT ||
      source->format() != destination->format())
    return D3DERR_INVALIDCALL;
  std::vector<SoftTexture::Level>& from = source->levels();
  std::vector<SoftTexture::Level>& to = destination->levels();
  std::size_t skip = 0;
  while (skip < from.size() && (from[skip].width != to[0].width || from[skip].height != to[0].height)) ++skip;
  if (skip == from.size() || from.size() - skip < to.size()) return D3DERR_INVALIDCALL;
  for (std::size_t i = 0; i < to.size(); ++i) to[i].texels = from[skip + i].texels;
  return D3D_OK;
}

} // namespace port::d3d
