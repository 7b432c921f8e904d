#include "content/texture.h"

#include <cstdint>

#include "shell/globals.h"

namespace {

constexpr UINT TextureFullMipChain = 0;  // Levels 0: every level down to 1 x 1
constexpr DWORD TextureUsageNone = 0;
constexpr UINT TextureTopLevel = 0;
constexpr std::uint8_t TextureOpaqueAlpha = 0xFF;
// A8R8G8B8 in memory: blue, green, red, alpha.
constexpr int TexelBlue = 0, TexelGreen = 1, TexelRed = 2, TexelAlpha = 3;

// Writes `image` into the locked level, converting red-green-blue-spare to
// blue-green-red-alpha. Rows advance by the lock's pitch.
void writeTexels(const PixelBuffer& image, const D3DLOCKED_RECT& locked) {
  auto* row = static_cast<std::uint8_t*>(locked.pBits);
  for (std::uint32_t y = 0; y < image.height; ++y, row += locked.Pitch) {
    const Pixel* source = &pixelAt(image, 0, y);
    for (std::uint32_t x = 0; x < image.width; ++x) {
      std::uint8_t* texel = row + std::size_t(x) * sizeof(Pixel);
      texel[TexelBlue] = source[x].channel[ChannelBlue];
      texel[TexelGreen] = source[x].channel[ChannelGreen];
      texel[TexelRed] = source[x].channel[ChannelRed];
      texel[TexelAlpha] = TextureOpaqueAlpha;
    }
  }
}

HRESULT fillStaging(IDirect3DTexture8* staging, const PixelBuffer& image) {
  D3DLOCKED_RECT locked{};
  HRESULT result = staging->LockRect(TextureTopLevel, &locked, nullptr, 0);
  if (FAILED(result)) return result;
  writeTexels(image, locked);
  staging->UnlockRect(TextureTopLevel);
  return S_OK;
}

} // namespace

HRESULT uploadTexture(PixelBuffer image, IDirect3DTexture8** slot) {
  IDirect3DTexture8* staging = nullptr;
  HRESULT result = device->CreateTexture(image.width, image.height, TextureFullMipChain, TextureUsageNone,
                                         D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging);
  if (FAILED(result)) return result;
  result = fillStaging(staging, image);
  if (SUCCEEDED(result)) {
    result = device->CreateTexture(image.width, image.height, TextureFullMipChain, TextureUsageNone,
                                   D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, slot);
  }
  if (SUCCEEDED(result)) result = device->UpdateTexture(staging, *slot);
  staging->Release(); // only the default-pool copy is kept
  return SUCCEEDED(result) ? S_OK : result;
}
