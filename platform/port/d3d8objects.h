#pragma once
// The objects behind our Direct3D 8 interfaces: the Direct3D object, the device and its
// resources. Internal to the port layer; the show sees only platform/d3d8.h.
#include "platform/port/d3d8.h"
#include "platform/port/d3d8states.h"
#include "platform/port/rasterizer.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace port::d3d {

// COM reference counting. Besides the public count, an object can be pinned by the
// objects that depend on it (a resource pins its device, a device its Direct3D object):
// it is destroyed once the public count is 0 and nothing pins it.
template <class Interface>
class ComObject : public Interface {
public:
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG count = refs_.load();
    if (count == 0) return 0; // a release too many: ignored rather than corrupting
    count = --refs_;
    if (count == 0) {
      pin(); // what onFinalRelease lets go of may unpin this object
      onFinalRelease();
      unpin();
    }
    return count;
  }
  void pin() { ++pins_; }
  void unpin() {
    if (--pins_ == 0) destroyIfUnused();
  }

protected:
  virtual void onFinalRelease() {}

private:
  void destroyIfUnused() {
    if (refs_.load() == 0 && pins_.load() == 0) delete this;
  }
  std::atomic<ULONG> refs_{1};
  std::atomic<ULONG> pins_{0};
};

class SoftDirect3D;
class SoftDevice;

class SoftTexture final : public ComObject<IDirect3DTexture8> {
public:
  struct Level {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> texels; // A8R8G8B8, rows tightly packed
    bool locked = false;
  };

  // Validates like the platform and makes the texture (Levels 0 = the full chain).
  static HRESULT create(SoftDevice* device, UINT width, UINT height, UINT levels, DWORD usage,
                        D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** result);

  HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return DWORD(levels_.size()); }
  HRESULT LockRect(UINT levelIndex, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT levelIndex) override;

  D3DPOOL pool() const { return pool_; }
  D3DFORMAT format() const { return format_; }
  std::vector<Level>& levels() { return levels_; }
  raster::TextureView view() const; // level 0

private:
  SoftTexture(SoftDevice* device, D3DFORMAT format, D3DPOOL pool);
  ~SoftTexture() override;

  SoftDevice* device_;
  D3DFORMAT format_;
  D3DPOOL pool_;
  std::vector<Level> levels_;
};

class SoftVertexBuffer final : public ComObject<IDirect3DVertexBuffer8> {
public:
  static HRESULT create(SoftDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                        IDirect3DVertexBuffer8** result);

  HRESULT GetDevice(IDirect3DDevice8** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;

  const std::vector<BYTE>& bytes() const { return bytes_; }

private:
  SoftVertexBuffer(SoftDevice* device, D3DPOOL pool);
  ~SoftVertexBuffer() override;

  SoftDevice* device_;
  D3DPOOL pool_;
  std::vector<BYTE> bytes_;
  int lockCount_ = 0;
};

class SoftDevice final : public ComObject<IDirect3DDevice8> {
public:
  // Validates the parameters like the platform; fills in what the platform fills in
  // (a back buffer count of 0 becomes 1).
  static HRESULT create(SoftDirect3D* owner, D3DDEVTYPE type, DWORD behaviorFlags,
                        D3DPRESENT_PARAMETERS* params, IDirect3DDevice8** result);

  HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
  HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                  const RGNDATA* pDirtyRegion) override;
  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                        IDirect3DTexture8** ppTexture) override;
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                             IDirect3DVertexBuffer8** ppVertexBuffer) override;
  HRESULT UpdateTexture(IDirect3DBaseTexture8* pSourceTexture, IDirect3DBaseTexture8* pDestinationTexture) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture8** ppTexture) override;
  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture8* pTexture) override;
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  HRESULT SetVertexShader(DWORD Handle) override;
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer8* pStreamData, UINT Stride) override;

  // Resources in D3DPOOL_DEFAULT must all be released before a Reset.
  void defaultPoolResourceCreated() { ++defaultPoolResources_; }
  void defaultPoolResourceDestroyed() { --defaultPoolResources_; }

protected:
  void onFinalRelease() override; // drops the bound texture and stream references

private:
  SoftDevice(SoftDirect3D* owner, DWORD behaviorFlags);
  ~SoftDevice() override;
  HRESULT applyParameters(const D3DPRESENT_PARAMETERS& params);
  void unbindAll();
  raster::ColorTarget colorTarget();
  raster::DepthTarget depthTarget();

  SoftDirect3D* owner_;
  DWORD behaviorFlags_;
  DeviceStates states_;
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> backBuffer_; // X8R8G8B8 whatever format was asked for
  std::vector<std::uint16_t> depthBuffer_; // D16; empty without a depth buffer
  bool inScene_ = false;
  SoftTexture* textures_[StageCount] = {};
  SoftVertexBuffer* stream_ = nullptr;
  UINT streamStride_ = 0;
  DWORD vertexShader_ = 0;
  int defaultPoolResources_ = 0;
  std::vector<raster::Vertex> vertexScratch_;
};

class SoftDirect3D final : public ComObject<IDirect3D8> {
public:
  SoftDirect3D() = default;
  HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                            D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override;
  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                       D3DPRESENT_PARAMETERS* pPresentationParameters,
                       IDirect3DDevice8** ppReturnedDeviceInterface) override;

private:
  ~SoftDirect3D() override = default;
};

// Formats our device accepts for back buffers (all kept as X8R8G8B8) and textures.
bool isBackBufferFormat(D3DFORMAT format);
bool isTextureFormat(D3DFORMAT format);
bool isDepthFormat(D3DFORMAT format);

} // namespace port::d3d
