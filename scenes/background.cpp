// The backdrop: the left 1/4.6 of a quad 4.6 screens wide, so the screen shows a
// magnified window of the texture that scrolls one texture width every 1.2 s and whose
// top edge swings between 0 and -100 while the bottom stays put.
#include "scenes/background.h"

#include "content/maths.h"
#include "content/sharedvertices.h"

namespace {

constexpr int BackdropCorners = 4;
constexpr UINT BackdropLockBytes = 6 * sizeof(ScreenVertex); // room for a quad's two triangles
constexpr UINT BackdropTriangles = 2;
constexpr double BackdropScreens = 4.6;     // the quad's width in screen widths
constexpr double ScrollMsPerTexture = 1200.0;
constexpr double StretchMsPerRadian = 700.0;
constexpr double StretchHalfRange = 50.0;   // the top edge swings over 2 x 50 pixels
constexpr DWORD OpaqueWhite = 0xFFFFFFFF;

} // namespace

HRESULT drawBackground(float xOffset, IDirect3DTexture8* texture, DWORD t) {
  // The clock is read as a signed count: the phase jumps once it passes 2^31 ms.
  const auto time = static_cast<double>(static_cast<std::int32_t>(t));
  const auto u0 = static_cast<float>(time / ScrollMsPerTexture);
  const auto m = static_cast<float>((sinD(time / StretchMsPerRadian) + 1.0) * StretchHalfRange);
  const float x0 = xOffset;
  const auto x1 = static_cast<float>(xOffset + screenWidth * BackdropScreens);
  const float top = -m;
  const float bottom = (static_cast<float>(screenHeight) + m) - m;
  const ScreenVertex corners[BackdropCorners] = {
      {x0, top, 0.0f, 1.0f, OpaqueWhite, u0, 0.0f},
      {x1, top, 0.0f, 1.0f, OpaqueWhite, u0 + 1.0f, 0.0f},
      {x0, bottom, 0.0f, 1.0f, OpaqueWhite, u0, 1.0f},
      {x1, bottom, 0.0f, 1.0f, OpaqueWhite, u0 + 1.0f, 1.0f},
  };
  const bool filled = fillSharedVertices(corners, sizeof corners, BackdropLockBytes);
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  // No blend factor here: the backdrop adds onto the frame with the ones in force.
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  useSharedVertices();
  if (!filled) return E_FAIL;
  return device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, BackdropTriangles);
}
