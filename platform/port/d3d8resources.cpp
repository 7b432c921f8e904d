// Textures and vertex buffers of our device: plain memory with the platform's rules for
// creating, locking and copying them.
#include "platform/port/d3d8objects.h"
#include "platform/port/testhooks.h"

#include <algorithm>
#include <new>

namespace port::d3d {
namespace {

constexpr UINT MaxTextureSize = 4096; // texels per side
constexpr UINT TexelBytes = 4;
constexpr DWORD TextureUsages = D3DUSAGE_DYNAMIC;
constexpr DWORD VertexBufferUsages = D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP |
                                     D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES | D3DUSAGE_DYNAMIC;

bool isPool(D3DPOOL pool) { return pool >= D3DPOOL_DEFAULT && pool <= D3DPOOL_SCRATCH; }

UINT fullChainLength(UINT width, UINT height) {
  UINT levels = 1;
  for (UINT size = std::max(width, height); size > 1; size /= 2) ++levels;
  return levels;
}

} // namespace

bool isTextureFormat(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

// --- Textures ----------------------------------------------------------------------

SoftTexture::SoftTexture(SoftDevice* device, D3DFORMAT format, D3DPOOL pool)
    : device_(device), format_(format), pool_(pool) {
  device_->pin();
  if (pool_ == D3DPOOL_DEFAULT) device_->defaultPoolResourceCreated();
}

SoftTexture::~SoftTexture() {
  if (pool_ == D3DPOOL_DEFAULT) device_->defaultPoolResourceDestroyed();
  device_->unpin();
}

HRESULT SoftTexture::create(SoftDevice* device, UINT width, UINT height, UINT levels, DWORD usage,
                            D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** result) {
  if (!result) return D3DERR_INVALIDCALL;
  *result = nullptr;
  if (width == 0 || height == 0 || width > MaxTextureSize || height > MaxTextureSize) return D3DERR_INVALIDCALL;
  if (!isTextureFormat(format) || !isPool(pool) || (usage & ~TextureUsages)) return D3DERR_INVALIDCALL;
  UINT chain = fullChainLength(width, height);
  if (levels > chain) return D3DERR_INVALIDCALL;
  if (port::shouldFail(FailPoint::CreateTexture))
    return pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY;

  SoftTexture* texture = new (std::nothrow) SoftTexture(device, format, pool);
  if (!texture) return E_OUTOFMEMORY;
  try {
    texture->levels_.resize(levels == 0 ? chain : levels);
    UINT w = width, h = height;
    for (Level& level : texture->levels_) {
      level.width = int(w);
      level.height = int(h);
      level.texels.assign(std::size_t(w) * h, 0);
      w = std::max(1u, w / 2);
      h = std::max(1u, h / 2);
    }
  } catch (const std::bad_alloc&) {
    texture->Release();
    return E_OUTOFMEMORY;
  }
  *result = texture;
  return D3D_OK;
}

HRESULT SoftTexture::GetDevice(IDirect3DDevice8** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *ppDevice = device_;
  return D3D_OK;
}

// Only memory the CPU may touch can be locked: textures in the default pool are the
// card's and are filled with UpdateTexture (dynamic ones excepted).
HRESULT SoftTexture::LockRect(UINT levelIndex, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD) {
  if (!pLockedRect || levelIndex >= levels_.size()) return D3DERR_INVALIDCALL;
  Level& level = levels_[levelIndex];
  if (level.locked || pool_ == D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
  RECT whole{0, 0, level.width, level.height};
  const RECT& r = pRect ? *pRect : whole;
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > level.width ||
      r.bottom > level.height)
    return D3DERR_INVALIDCALL;
  level.locked = true;
  pLockedRect->Pitch = INT(level.width * TexelBytes);
  pLockedRect->pBits = level.texels.data() + std::size_t(r.top) * level.width + r.left;
  return D3D_OK;
}

HRESULT SoftTexture::UnlockRect(UINT levelIndex) {
  if (levelIndex >= levels_.size() || !levels_[levelIndex].locked) return D3DERR_INVALIDCALL;
  levels_[levelIndex].locked = false;
  return D3D_OK;
}

raster::TextureView SoftTexture::view() const {
  const Level& top = levels_.front();
  return raster::TextureView{top.texels.data(), top.width, top.height, format_ == D3DFMT_X8R8G8B8};
}

// --- Vertex buffers ----------------------------------------------------------------

SoftVertexBuffer::SoftVertexBuffer(SoftDevice* device, D3DPOOL pool) : device_(device), pool_(pool) {
  device_->pin();
  if (pool_ == D3DPOOL_DEFAULT) device_->defaultPoolResourceCreated();
}

SoftVertexBuffer::~SoftVertexBuffer() {
  if (pool_ == D3DPOOL_DEFAULT) device_->defaultPoolResourceDestroyed();
  device_->unpin();
}

HRESULT SoftVertexBuffer::create(SoftDevice* device, UINT length, DWORD usage, DWORD, D3DPOOL pool,
                                 IDirect3DVertexBuffer8** result) {
  if (!result) return D3DERR_INVALIDCALL;
  *result = nullptr;
  if (length == 0 || !isPool(pool) || pool == D3DPOOL_SCRATCH || (usage & ~VertexBufferUsages))
    return D3DERR_INVALIDCALL;
  if (port::shouldFail(FailPoint::CreateVertexBuffer))
    return pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY;
  SoftVertexBuffer* buffer = new (std::nothrow) SoftVertexBuffer(device, pool);
  if (!buffer) return E_OUTOFMEMORY;
  try {
    buffer->bytes_.assign(length, 0);
  } catch (const std::bad_alloc&) {
    buffer->Release();
    return E_OUTOFMEMORY;
  }
  *result = buffer;
  return D3D_OK;
}

HRESULT SoftVertexBuffer::GetDevice(IDirect3DDevice8** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *ppDevice = device_;
  return D3D_OK;
}

// SizeToLock 0 means "to the end". Locks may nest; each needs its Unlock.
HRESULT SoftVertexBuffer::Lock(UINT OffsetToLock, UINT SizeToLock, BYTE** ppbData, DWORD) {
  if (!ppbData) return D3DERR_INVALIDCALL;
  *ppbData = nullptr;
  if (port::shouldFail(port::FailPoint::LockVertexBuffer)) return D3DERR_INVALIDCALL;
  std::size_t length = bytes_.size();
  if (OffsetToLock > length || (SizeToLock != 0 && SizeToLock > length - OffsetToLock)) return D3DERR_INVALIDCALL;
  ++lockCount_;
  *ppbData = bytes_.data() + OffsetToLock;
  return D3D_OK;
}

HRESULT SoftVertexBuffer::Unlock() {
  if (lockCount_ == 0) return D3DERR_INVALIDCALL;
  --lockCount_;
  return D3D_OK;
}

} // namespace port::d3d
