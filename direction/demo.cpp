// A stand-in for the demo until its content and timeline exist: start-up makes the two
// textures that the shutdown releases, and each frame clears to a colour that drifts
// with the clock.
#include "direction/demo.h"

#include "direction/globals.h"
#include "platform/mmsystem.h"
#include "shell/globals.h"

namespace {

constexpr UINT StandInTextureSize = 16; // texels per side
constexpr float FarDepth = 1.0f;

// Each channel rises and falls between these levels with its own period (milliseconds),
// so the picture is never black or white and never still.
constexpr DWORD ChannelFloor = 0x30;
constexpr DWORD ChannelSwing = 0xA0;
constexpr DWORD RedPeriodMs = 2300;
constexpr DWORD GreenPeriodMs = 3100;
constexpr DWORD BluePeriodMs = 4300;
constexpr int RedShift = 16;
constexpr int GreenShift = 8;

// A triangle wave from ChannelFloor up to ChannelFloor + ChannelSwing and back.
DWORD channelLevel(DWORD nowMs, DWORD periodMs) {
  DWORD phase = nowMs % periodMs;
  DWORD half = periodMs / 2;
  DWORD rise = phase < half ? phase : periodMs - phase;
  return ChannelFloor + rise * ChannelSwing / half;
}

D3DCOLOR standInColour(DWORD nowMs) {
  return (channelLevel(nowMs, RedPeriodMs) << RedShift) |
         (channelLevel(nowMs, GreenPeriodMs) << GreenShift) | channelLevel(nowMs, BluePeriodMs);
}

HRESULT makeTexture(IDirect3DTexture8** texture) {
  return device->CreateTexture(StandInTextureSize, StandInTextureSize, 1, 0, D3DFMT_A8R8G8B8,
                               D3DPOOL_MANAGED, texture);
}

} // namespace

HRESULT initDemo() {
  if (FAILED(makeTexture(&stoneTexture)) || FAILED(makeTexture(&spotTexture))) {
    showError("loadtexture fail.");
    return E_FAIL;
  }
  return S_OK;
}

HRESULT renderFrame() {
  D3DCOLOR colour = standInColour(timeGetTime());
  if (FAILED(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, FarDepth, 0)))
    return E_FAIL;
  if (FAILED(device->BeginScene())) return E_FAIL;
  device->EndScene();
  if (FAILED(device->Present(nullptr, nullptr, nullptr, nullptr))) return E_FAIL;
  return S_OK;
}
