// The device object: creation and reset, the frame (clear, scene, present) and the state
// it keeps. Drawing and texture updates are in d3d8draw.cpp.
#include "platform/port/backend.h"
#include "platform/port/d3d8objects.h"
#include "platform/port/testhooks.h"

#include <algorithm>
#include <cstring>
#include <cmath>
#include <new>

namespace port::d3d {
namespace {

constexpr UINT MaxTargetSize = 8192; // pixels per side; keeps the rasterizer's arithmetic in range
constexpr UINT MaxBackBufferCount = 3;
constexpr std::uint32_t RgbMask = 0x00FFFFFF; // the X byte of X8R8G8B8 is kept 0
constexpr double DepthScale = 65535.0;

bool isSwapEffect(D3DSWAPEFFECT effect) { return effect >= D3DSWAPEFFECT_DISCARD && effect <= D3DSWAPEFFECT_COPY_VSYNC; }

HRESULT validateParameters(const D3DPRESENT_PARAMETERS& p) {
  if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 || p.BackBufferWidth > MaxTargetSize ||
      p.BackBufferHeight > MaxTargetSize)
    return D3DERR_INVALIDCALL;
  bool formatOk = isBackBufferFormat(p.BackBufferFormat) || (p.Windowed && p.BackBufferFormat == D3DFMT_UNKNOWN);
  if (!formatOk || p.BackBufferCount > MaxBackBufferCount || !isSwapEffect(p.SwapEffect)) return D3DERR_INVALIDCALL;
  if (p.MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
  if (p.EnableAutoDepthStencil && !isDepthFormat(p.AutoDepthStencilFormat)) return D3DERR_INVALIDCALL;
  return D3D_OK;
}

} // namespace

SoftDevice::SoftDevice(SoftDirect3D* owner, DWORD behaviorFlags) : owner_(owner), behaviorFlags_(behaviorFlags) {
  owner_->pin();
}

SoftDevice::~SoftDevice() { owner_->unpin(); }

HRESULT SoftDevice::create(SoftDirect3D* owner, D3DDEVTYPE, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* params,
                           IDirect3DDevice8** result) {
  SoftDevice* device = new (std::nothrow) SoftDevice(owner, behaviorFlags);
  if (!device) return E_OUTOFMEMORY;
  if (HRESULT hr = device->applyParameters(*params); FAILED(hr)) {
    device->Release();
    return hr;
  }
  if (params->BackBufferCount == 0) params->BackBufferCount = 1;
  *result = device;
  return D3D_OK;
}

HRESULT SoftDevice::applyParameters(const D3DPRESENT_PARAMETERS& params) {
  if (HRESULT hr = validateParameters(params); FAILED(hr)) return hr;
  std::size_t pixels = std::size_t(params.BackBufferWidth) * params.BackBufferHeight;
  try {
    backBuffer_.assign(pixels, 0);
    depthBuffer_.clear();
    if (params.EnableAutoDepthStencil) depthBuffer_.assign(pixels, 0xFFFF);
  } catch (const std::bad_alloc&) {
    backBuffer_.clear();
    depthBuffer_.clear();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  width_ = int(params.BackBufferWidth);
  height_ = int(params.BackBufferHeight);
  setDefaultStates(states_, params.EnableAutoDepthStencil != FALSE, behaviorFlags_);
  return D3D_OK;
}

// The platform refuses a reset while resources of the default pool exist; all state
// returns to its defaults.
HRESULT SoftDevice::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
  if (!pPresentationParameters) return D3DERR_INVALIDCALL;
  if (port::shouldFail(FailPoint::Reset)) return D3DERR_INVALIDCALL;
  if (defaultPoolResources_ > 0) return D3DERR_INVALIDCALL;
  if (HRESULT hr = validateParameters(*pPresentationParameters); FAILED(hr)) return hr;
  unbindAll();
  inScene_ = false;
  vertexShader_ = 0;
  if (HRESULT hr = applyParameters(*pPresentationParameters); FAILED(hr)) return hr;
  if (pPresentationParameters->BackBufferCount == 0) pPresentationParameters->BackBufferCount = 1;
  return D3D_OK;
}

// Hands the back buffer to the video sink (none: the picture goes nowhere) and to the
// test record. A sink that cannot take it fails the call.
HRESULT SoftDevice::Present(const RECT*, const RECT*, HWND, const RGNDATA*) {
  if (backBuffer_.empty() || port::shouldFail(port::FailPoint::Present)) return D3DERR_INVALIDCALL;
  port::recordPresent(backBuffer_.data(), width_, height_, width_);
  port::VideoSink* sink = port::videoSink();
  port::FrameView frame{backBuffer_.data(), width_, height_, width_};
  if (sink && !sink->present(frame)) return D3DERR_DRIVERINTERNALERROR;
  return D3D_OK;
}

HRESULT SoftDevice::BeginScene() {
  if (inScene_ || port::shouldFail(port::FailPoint::BeginScene)) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT SoftDevice::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

// Clears the whole target or the given rectangles (right and bottom exclusive), clipped.
HRESULT SoftDevice::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD) {
  constexpr DWORD KnownFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
  if ((Count > 0 && !pRects) || Flags == 0 || (Flags & ~KnownFlags)) return D3DERR_INVALIDCALL;
  if (port::shouldFail(port::FailPoint::Clear)) return D3DERR_INVALIDCALL;
  if ((Flags & D3DCLEAR_STENCIL) || ((Flags & D3DCLEAR_ZBUFFER) && depthBuffer_.empty())) return D3DERR_INVALIDCALL;
  if ((Flags & D3DCLEAR_ZBUFFER) && !(Z >= 0.0f && Z <= 1.0f)) return D3DERR_INVALIDCALL;
  std::uint16_t depth = std::uint16_t(std::nearbyint(double(Z) * DepthScale));
  std::uint32_t color = Color & RgbMask;
  D3DRECT whole{0, 0, width_, height_};
  DWORD rectCount = Count > 0 ? Count : 1;
  for (DWORD i = 0; i < rectCount; ++i) {
    const D3DRECT& r = Count > 0 ? pRects[i] : whole;
    LONG left = std::max<LONG>(r.x1, 0), right = std::min<LONG>(r.x2, width_);
    LONG top = std::max<LONG>(r.y1, 0), bottom = std::min<LONG>(r.y2, height_);
    if (top >= bottom || left >= right) continue;
    // The first row is filled value by value, the others copied from it: a block copy
    // is several times faster than the element loop.
    std::size_t first = std::size_t(top) * width_ + left, count = std::size_t(right - left);
    if (Flags & D3DCLEAR_TARGET) std::fill_n(backBuffer_.begin() + first, count, color);
    if (Flags & D3DCLEAR_ZBUFFER) std::fill_n(depthBuffer_.begin() + first, count, depth);
    for (LONG y = top + 1; y < bottom; ++y) {
      std::size_t row = std::size_t(y) * width_ + left;
      if (Flags & D3DCLEAR_TARGET) std::memcpy(&backBuffer_[row], &backBuffer_[first], count * sizeof(std::uint32_t));
      if (Flags & D3DCLEAR_ZBUFFER) std::memcpy(&depthBuffer_[row], &depthBuffer_[first], count * sizeof(std::uint16_t));
    }
  }
  return D3D_OK;
}

HRESULT SoftDevice::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  if (DWORD(State) >= RenderStateCount) return D3DERR_INVALIDCALL;
  states_.render[State] = Value;
  return D3D_OK;
}

HRESULT SoftDevice::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  if (DWORD(State) >= RenderStateCount || !pValue) return D3DERR_INVALIDCALL;
  *pValue = states_.render[State];
  return D3D_OK;
}

HRESULT SoftDevice::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  if (Stage >= StageCount || DWORD(Type) >= StageStateCount) return D3DERR_INVALIDCALL;
  states_.stage[Stage][Type] = Value;
  return D3D_OK;
}

HRESULT SoftDevice::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  if (Stage >= StageCount || DWORD(Type) >= StageStateCount || !pValue) return D3DERR_INVALIDCALL;
  *pValue = states_.stage[Stage][Type];
  return D3D_OK;
}

// The device holds a reference to each bound texture, as the platform does. Textures in
// system memory cannot be drawn with.
HRESULT SoftDevice::SetTexture(DWORD Stage, IDirect3DBaseTexture8* pTexture) {
  if (Stage >= StageCount) return D3DERR_INVALIDCALL;
  SoftTexture* texture = nullptr;
  if (pTexture) {
    texture = dynamic_cast<SoftTexture*>(pTexture);
    if (!texture || texture->pool() == D3DPOOL_SYSTEMMEM || texture->pool() == D3DPOOL_SCRATCH)
      return D3DERR_INVALIDCALL;
    texture->AddRef();
  }
  if (textures_[Stage]) textures_[Stage]->Release();
  textures_[Stage] = texture;
  return D3D_OK;
}

HRESULT SoftDevice::GetTexture(DWORD Stage, IDirect3DBaseTexture8** ppTexture) {
  if (Stage >= StageCount || !ppTexture) return D3DERR_INVALIDCALL;
  *ppTexture = textures_[Stage];
  if (textures_[Stage]) textures_[Stage]->AddRef();
  return D3D_OK;
}

// Only stream 0 exists: fixed-function vertex formats read from it alone.
HRESULT SoftDevice::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8* pStreamData, UINT Stride) {
  if (StreamNumber != 0) return D3DERR_INVALIDCALL;
  SoftVertexBuffer* buffer = nullptr;
  if (pStreamData) {
    buffer = dynamic_cast<SoftVertexBuffer*>(pStreamData);
    if (!buffer) return D3DERR_INVALIDCALL;
    buffer->AddRef();
  }
  if (stream_) stream_->Release();
  stream_ = buffer;
  streamStride_ = Stride;
  return D3D_OK;
}

HRESULT SoftDevice::SetVertexShader(DWORD Handle) {
  vertexShader_ = Handle;
  return D3D_OK;
}

HRESULT SoftDevice::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DTexture8** ppTexture) {
  return SoftTexture::create(this, Width, Height, Levels, Usage, Format, Pool, ppTexture);
}

HRESULT SoftDevice::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                       IDirect3DVertexBuffer8** ppVertexBuffer) {
  return SoftVertexBuffer::create(this, Length, Usage, FVF, Pool, ppVertexBuffer);
}

void SoftDevice::unbindAll() {
  for (SoftTexture*& texture : textures_) {
    if (texture) texture->Release();
    texture = nullptr;
  }
  if (stream_) stream_->Release();
  stream_ = nullptr;
  streamStride_ = 0;
}

void SoftDevice::onFinalRelease() { unbindAll(); }

raster::ColorTarget SoftDevice::colorTarget() { return {backBuffer_.data(), width_, height_, width_}; }

raster::DepthTarget SoftDevice::depthTarget() {
  if (depthBuffer_.empty()) return {};
  return {depthBuffer_.data(), width_, height_, width_};
}

} // namespace port::d3d
