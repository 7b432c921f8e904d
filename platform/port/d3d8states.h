#pragma once
// The render and texture-stage states of our device: their Direct3D 8 defaults and their
// translation into the rasterizer's state at draw time.
#include "platform/port/d3d8.h"
#include "platform/port/rasterizer.h"

namespace port::d3d {

constexpr DWORD StageCount = 8;
constexpr DWORD RenderStateCount = 256;    // D3DRENDERSTATETYPE values are below this
constexpr DWORD StageStateCount = 32;      // D3DTEXTURESTAGESTATETYPE values are below this

struct DeviceStates {
  DWORD render[RenderStateCount] = {};
  DWORD stage[StageCount][StageStateCount] = {};
};

// The platform's defaults; ZENABLE depends on whether the device has a depth buffer.
void setDefaultStates(DeviceStates& states, bool hasDepthBuffer, DWORD behaviorFlags);

// The rasterizer state for the current states and the texture bound to stage 0 (null:
// none). Fails with the code the platform's validation gives for an operation, argument
// or blend factor this device does not implement.
HRESULT translateStates(const DeviceStates& states, const raster::TextureView& stage0Texture,
                        raster::RasterState& out);

} // namespace port::d3d
