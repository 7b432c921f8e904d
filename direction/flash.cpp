// The sync flash: the glow texture added over the whole finished frame, darkened to the
// flash's grey level.
#include "content/sharedvertices.h"
#include "direction/timeline.h"

namespace {

constexpr int FlashCorners = 4;
constexpr UINT FlashLockBytes = 6 * sizeof(ScreenVertex); // room for a quad's two triangles
constexpr UINT FlashTriangles = 2;
constexpr DWORD BrightestGrey = 0xFF;
constexpr DWORD GreyChannels = 0x010101; // the same level in red, green and blue; alpha 0

// Levels 256 to 260 (the first 21 ms) would carry into the neighbouring channels of the
// colour word: they are drawn as the brightest grey instead.
DWORD greyOf(DWORD intensity) { return (intensity > BrightestGrey ? BrightestGrey : intensity) * GreyChannels; }

} // namespace

void drawFlash(IDirect3DTexture8* texture, DWORD intensity) {
  const DWORD grey = greyOf(intensity);
  const auto w = static_cast<float>(screenWidth);
  const auto h = static_cast<float>(screenHeight);
  const ScreenVertex corners[FlashCorners] = {
      {0.0f, 0.0f, 0.0f, 1.0f, grey, 0.0f, 0.0f},
      {w, 0.0f, 0.0f, 1.0f, grey, 1.0f, 0.0f},
      {0.0f, h, 0.0f, 1.0f, grey, 0.0f, 1.0f},
      {w, h, 0.0f, 1.0f, grey, 1.0f, 1.0f},
  };
  const bool filled = fillSharedVertices(corners, sizeof corners, FlashLockBytes);
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  useSharedVertices();
  if (filled) device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, FlashTriangles);
}
