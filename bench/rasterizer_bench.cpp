// The software Direct3D device on the show's heaviest workloads at 640 x 480, measured
// through the same calls the show makes (lock, copy, unlock, states, DrawPrimitive).
#include "direction/demo.h"
#include "direction/globals.h"
#include "platform/d3d8.h"
#include "platform/port/rasterspan.h"
#include "platform/port/testhooks.h"
#include "scenes/terrain.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/showleftovers.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr DWORD ScreenFormat = ScreenVertexFormat;
constexpr UINT ScreenWidth = 640, ScreenHeight = 480;
constexpr DWORD TerrainFrameStepMs = 4000;
constexpr DWORD TerrainFrames = 8;

// A device set up like the show's, with one texture of varied texels of the size the
// workload's texture has in the show.
class ShowDevice {
public:
  explicit ShowDevice(UINT textureSize) {
    d3d_ = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS p = {};
    p.BackBufferWidth = ScreenWidth;
    p.BackBufferHeight = ScreenHeight;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 2;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device);
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    device->Reset(&p);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->CreateVertexBuffer(SharedVertexCount * sizeof(ScreenVertex), 0, ScreenFormat, D3DPOOL_DEFAULT, &buffer);
    texture = makeTexture(textureSize);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->BeginScene();
  }
  ~ShowDevice() {
    device->EndScene();
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, nullptr, 0);
    texture->Release();
    buffer->Release();
    device->Release();
    d3d_->Release();
  }

  void draw(D3DPRIMITIVETYPE type, const ScreenVertex* v, UINT vertices, UINT primitives) {
    BYTE* bytes = nullptr;
    buffer->Lock(0, vertices * sizeof(ScreenVertex), &bytes, 0);
    std::memcpy(bytes, v, vertices * sizeof(ScreenVertex));
    buffer->Unlock();
    device->SetStreamSource(0, buffer, sizeof(ScreenVertex));
    device->SetVertexShader(ScreenFormat);
    device->DrawPrimitive(type, 0, primitives);
  }

  IDirect3DDevice8* device = nullptr;
  IDirect3DVertexBuffer8* buffer = nullptr;
  IDirect3DTexture8* texture = nullptr;

private:
  IDirect3DTexture8* makeTexture(UINT size) {
    IDirect3DTexture8* staging = nullptr;
    IDirect3DTexture8* result = nullptr;
    device->CreateTexture(size, size, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging);
    D3DLOCKED_RECT locked;
    staging->LockRect(0, &locked, nullptr, 0);
    auto* texels = static_cast<std::uint32_t*>(locked.pBits);
    for (UINT i = 0; i < size * size; ++i) texels[i] = 0xFF000000u | (i * 2654435761u >> 8 & 0x7F7F7F);
    staging->UnlockRect(0);
    device->CreateTexture(size, size, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &result);
    device->UpdateTexture(staging, result);
    staging->Release();
    return result;
  }
  IDirect3D8* d3d_ = nullptr;
};

void quad(std::vector<ScreenVertex>& out, float x0, float y0, float x1, float y1, DWORD diffuse, float u0 = 0,
          float v0 = 0, float u1 = 1, float v1 = 1) {
  out.push_back({x0, y0, 0, 1, diffuse, u0, v0});
  out.push_back({x1, y0, 0, 1, diffuse, u1, v0});
  out.push_back({x0, y1, 0, 1, diffuse, u0, v1});
  out.push_back({x1, y0, 0, 1, diffuse, u1, v0});
  out.push_back({x1, y1, 0, 1, diffuse, u1, v1});
  out.push_back({x0, y1, 0, 1, diffuse, u0, v1});
}

void additive(IDirect3DDevice8* device, D3DTEXTUREOP op) {
  device->SetTextureStageState(0, D3DTSS_COLOROP, op);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
}

// The sync flash: the glow texture modulated by a grey level, added over the frame.
void BM_FullScreenAdditiveQuad(benchmark::State& state) {
  ShowDevice show(256); // the glow texture
  additive(show.device, D3DTOP_MODULATE);
  show.device->SetTexture(0, show.texture);
  ScreenVertex strip[4] = {{0, 0, 0, 1, 0x00808080, 0, 0},
                           {640, 0, 0, 1, 0x00808080, 1, 0},
                           {0, 480, 0, 1, 0x00808080, 0, 1},
                           {640, 480, 0, 1, 0x00808080, 1, 1}};
  for (auto _ : state) show.draw(D3DPT_TRIANGLESTRIP, strip, 4, 2);
}
BENCHMARK(BM_FullScreenAdditiveQuad)->Unit(benchmark::kMillisecond);

// The sprite spiral: 2800 additive 16 x 16 sprites in one triangle list.
void BM_AdditiveSprites2800(benchmark::State& state) {
  ShowDevice show(16); // the spot texture
  additive(show.device, D3DTOP_SELECTARG1);
  show.device->SetTexture(0, show.texture);
  std::vector<ScreenVertex> v;
  for (int i = 0; i < 2800; ++i) {
    double angle = i * 0.0215, radius = 20 + i * 0.08;
    float x = float(320 + radius * std::cos(angle) - 8), y = float(240 + radius * 0.8 * std::sin(angle) - 8);
    quad(v, x, y, x + 16, y + 16, 0x00FFFFFF);
  }
  for (auto _ : state) show.draw(D3DPT_TRIANGLELIST, v.data(), UINT(v.size()), 5600);
}
BENCHMARK(BM_AdditiveSprites2800)->Unit(benchmark::kMillisecond);

// The terrain scene as the show draws it: drawTerrainScene on the show's own device and
// start-up content (its height field and stone texture), eight frames four seconds
// apart in turn, each on a cleared frame (colour and depth).
void terrain(benchmark::State& state, bool wide) {
  bool wasAllowed = raster::detail::wideSpansAllowed();
  raster::detail::allowWideSpans(wide);
  port::resetTestHooks();
  if (initDirect3D(nullptr) != S_OK || makeDemoContent() != S_OK) {
    state.SkipWithError("the show's device or content could not be made");
  } else {
    device->BeginScene();
    DWORD t = 0;
    for (auto _ : state) {
      device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
      if (FAILED(drawTerrainScene(t, demoMesh))) {
        state.SkipWithError("the terrain's draw failed");
        break;
      }
      t = (t + TerrainFrameStepMs) % (TerrainFrameStepMs * TerrainFrames);
    }
    device->EndScene();
  }
  releaseShowLeftovers();
  shutdownDemo();
  resetShell();
  resetDirectionGlobals();
  raster::detail::allowWideSpans(wasAllowed);
}
void BM_TerrainMesh3042(benchmark::State& state) { terrain(state, true); }
BENCHMARK(BM_TerrainMesh3042)->Unit(benchmark::kMillisecond);
// The same on a processor without AVX2: the four-pixel loops.
void BM_TerrainMesh3042FourPixelLoops(benchmark::State& state) { terrain(state, false); }
BENCHMARK(BM_TerrainMesh3042FourPixelLoops)->Unit(benchmark::kMillisecond);

// Text on strands: 480 one-character additive quads of about 12 x 20 pixels, each its
// own lock, copy, states and draw.
void BM_AdditiveTextQuads480(benchmark::State& state) {
  ShowDevice show(256); // a font atlas
  IDirect3DDevice8* d = show.device;
  std::vector<ScreenVertex> glyphs;
  for (int i = 0; i < 480; ++i) {
    float x = float(20 + (i % 40) * 15), y = float(10 + (i / 40) * 38);
    quad(glyphs, x, y, x + 12, y + 20, 0xFFFFFFFF, 0.1f, 0.2f, 0.15f, 0.28f);
  }
  for (auto _ : state)
    for (int i = 0; i < 480; ++i) {
      d->SetTexture(0, show.texture);
      d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
      d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
      d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
      d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
      d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
      d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
      show.draw(D3DPT_TRIANGLELIST, &glyphs[std::size_t(i) * 6], 6, 2);
    }
}
BENCHMARK(BM_AdditiveTextQuads480)->Unit(benchmark::kMillisecond);

} // namespace
