#include "content/texture.h"

#include <cstring>

#include "content/font.h"
#include "content/pcx.h"
#include "data/embedded.h"
#include "platform/port/d3d8objects.h"
#include "tests/content/devicetest.h"
#include "tests/content/pixeltest.h"

namespace {

// Draws `texture` over the whole back buffer, texel colour only, and returns the picture.
port::CapturedFrame showTexture(IDirect3DTexture8* texture, float size) {
  const ScreenVertex quad[6] = {{0, 0, 0, 1, 0, 0, 0},       {size, 0, 0, 1, 0, 1, 0}, {0, size, 0, 1, 0, 0, 1},
                                {size, 0, 0, 1, 0, 1, 0},    {0, size, 0, 1, 0, 0, 1}, {size, size, 0, 1, 0, 1, 1}};
  BYTE* bytes = nullptr;
  sharedVertexBuffer->Lock(0, sizeof quad, &bytes, 0);
  std::memcpy(bytes, quad, sizeof quad);
  sharedVertexBuffer->Unlock();
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->BeginScene();
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetStreamSource(0, sharedVertexBuffer, sizeof(ScreenVertex));
  device->SetVertexShader(ScreenVertexFormat);
  device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
  device->EndScene();
  device->Present(nullptr, nullptr, nullptr, nullptr);
  return port::lastPresent();
}

using UploadTexture = DeviceTest;

TEST_F(UploadTexture, PixelBytesBecomeBlueGreenRedAndOpaqueAlpha) {
  OwnedPixels image(2, 2);
  image.at(0, 0) = Pixel{{0x11, 0x22, 0x33, 0x00}};
  image.at(1, 0) = Pixel{{0xAA, 0xBB, 0xCC, 0x44}}; // the spare byte is ignored
  image.at(0, 1) = Pixel{{0x01, 0x02, 0x03, 0x00}};
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(uploadTexture(image.buffer, &texture), S_OK);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->GetLevelCount(), 2u); // a full chain: 2 x 2 and 1 x 1
  // The texels as stored: bytes blue, green, red, alpha (little-endian A8R8G8B8).
  auto& level = static_cast<port::d3d::SoftTexture*>(texture)->levels()[0].texels;
  const std::uint8_t* bytes = reinterpret_cast<const std::uint8_t*>(level.data());
  EXPECT_EQ(bytes[0], 0x33);
  EXPECT_EQ(bytes[1], 0x22);
  EXPECT_EQ(bytes[2], 0x11);
  EXPECT_EQ(bytes[3], 0xFF);
  EXPECT_EQ(level[1], 0xFFAABBCCu);
  port::CapturedFrame frame = showTexture(texture, 64);
  ASSERT_EQ(frame.width, int(BackBufferWidth));
  EXPECT_EQ(frame.pixels[0] & 0xFFFFFF, 0x112233u);            // X8R8G8B8 reads red high
  EXPECT_EQ(frame.pixels[40] & 0xFFFFFF, 0xAABBCCu);
  EXPECT_EQ(frame.pixels[40 * frame.width] & 0xFFFFFF, 0x010203u);
  texture->Release();
}

TEST_F(UploadTexture, OneByOneBufferGivesAOneByOneTexture) {
  OwnedPixels image(1, 1);
  image.at(0, 0) = Pixel{{0x80, 0x40, 0x20, 0}};
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(uploadTexture(image.buffer, &texture), S_OK);
  EXPECT_EQ(texture->GetLevelCount(), 1u);
  port::CapturedFrame frame = showTexture(texture, 8);
  EXPECT_EQ(frame.pixels[5 * frame.width + 5] & 0xFFFFFF, 0x804020u);
  texture->Release();
}

TEST_F(UploadTexture, FailedCreationIsReportedAndLeavesTheSlotAlone) {
  OwnedPixels image(4, 4);
  port::setFailure(port::FailPoint::CreateTexture, true);
  IDirect3DTexture8* slot = nullptr;
  HRESULT result = uploadTexture(image.buffer, &slot);
  EXPECT_LT(result, 0);
  EXPECT_EQ(slot, nullptr);
}

TEST_F(UploadTexture, FontWhoseUploadFailsKeepsItsRectanglesAndANullTexture) {
  OwnedPixels strip(decodePcx(sansGlyphStrip, std::size_t(sansGlyphStripSize)));
  port::setFailure(port::FailPoint::CreateTexture, true);
  BitmapFont failed = buildFont(SansAlphabet, 0x999988, strip.buffer);
  EXPECT_EQ(failed.texture, nullptr);
  EXPECT_EQ(failed.glyphCount, 42);
  EXPECT_EQ(failed.glyphU[13].right, 26.0f / 256);
  port::setFailure(port::FailPoint::CreateTexture, false);
  BitmapFont font = buildFont(SansAlphabet, 0x999988, strip.buffer);
  ASSERT_NE(font.texture, nullptr);
  // The softened atlas in the font colour: the letter a's ink shows as 0x88, 0x99, 0x99
  // at full strength inside strokes, dimmer at their edges, never another hue.
  port::CapturedFrame frame = showTexture(font.texture, 256);
  int full = 0;
  for (int y = 0; y < 36; ++y) {
    for (int x = 0; x < 23; ++x) {
      std::uint32_t c = frame.pixels[y * frame.width + x] & 0xFFFFFF;
      full += c == 0x889999u;
      int r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
      EXPECT_TRUE(r <= g && g == b) << x << "," << y;
    }
  }
  EXPECT_GT(full, 10);
  font.texture->Release();
}

} // namespace
