// Drawing through the device the way the show does: textures uploaded through a
// system-memory staging texture, vertices written to a vertex buffer, states set, then
// DrawPrimitive; and the validation around it.
#include "platform/d3d8.h"
#include "platform/port/testhooks.h"
#include "tests/platform/rasterizer_picture.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

struct ScreenVertex {
  float x, y, z, rhw;
  DWORD diffuse;
  float u, v;
};
constexpr DWORD ScreenFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr int Width = 32, Height = 16;

class D3DDraw : public ::testing::Test {
protected:
  void SetUp() override {
    port::resetTestHooks();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS p = {};
    p.BackBufferWidth = Width;
    p.BackBufferHeight = Height;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device), D3D_OK);
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    ASSERT_EQ(device->CreateVertexBuffer(28 * 64, 0, ScreenFormat, D3DPOOL_DEFAULT, &buffer), D3D_OK);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  }
  void TearDown() override {
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, nullptr, 0);
    for (IDirect3DTexture8* t : textures) t->Release();
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
    port::resetTestHooks();
  }

  // The show's upload: staging texture in system memory, level 0 written with pitch
  // width * 4, then UpdateTexture into the default pool.
  IDirect3DTexture8* upload(UINT width, UINT height, const std::vector<std::uint32_t>& argb) {
    IDirect3DTexture8* staging = nullptr;
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(width, height, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging), D3D_OK);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(staging->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, INT(width * 4));
    std::memcpy(locked.pBits, argb.data(), argb.size() * 4);
    EXPECT_EQ(staging->UnlockRect(0), D3D_OK);
    EXPECT_EQ(device->CreateTexture(width, height, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
    EXPECT_EQ(device->UpdateTexture(staging, texture), D3D_OK);
    staging->Release();
    textures.push_back(texture);
    return texture;
  }

  void write(const std::vector<ScreenVertex>& v) {
    BYTE* bytes = nullptr;
    ASSERT_EQ(buffer->Lock(0, UINT(v.size() * sizeof(ScreenVertex)), &bytes, 0), D3D_OK);
    std::memcpy(bytes, v.data(), v.size() * sizeof(ScreenVertex));
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    device->SetStreamSource(0, buffer, sizeof(ScreenVertex));
    device->SetVertexShader(ScreenFormat);
  }

  static std::vector<ScreenVertex> strip(float x0, float y0, float x1, float y1, DWORD diffuse, float z = 0) {
    return {{x0, y0, z, 1, diffuse, 0, 0}, {x1, y0, z, 1, diffuse, 1, 0}, {x0, y1, z, 1, diffuse, 0, 1},
            {x1, y1, z, 1, diffuse, 1, 1}};
  }

  rastertest::Picture frame() {
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    port::CapturedFrame captured = port::lastPresent();
    rastertest::Picture p(captured.width, captured.height);
    p.pixels = captured.pixels;
    return p;
  }

  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
  IDirect3DVertexBuffer8* buffer = nullptr;
  std::vector<IDirect3DTexture8*> textures;
};

TEST_F(D3DDraw, UploadedTexelsKeepTheirByteOrderAndTextIsAddedToTheFrame) {
  // Bytes 0x33, 0x22, 0x11, 0xFF in memory are red 0x11, green 0x22, blue 0x33.
  std::vector<std::uint32_t> texels(4 * 4, 0xFF112233);
  texels[0] = 0xFF000000; // black: adds nothing
  IDirect3DTexture8* texture = upload(4, 4, texels);
  EXPECT_EQ(texture->GetLevelCount(), 3u); // the full chain 4, 2, 1
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00010101, 1.0f, 0);
  write(strip(0, 0, 8, 8, 0xFFFFFFFF));
  device->SetTexture(0, texture);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  ASSERT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
  ASSERT_EQ(device->EndScene(), D3D_OK);
  rastertest::expectPicture(frame(), [](int x, int y) {
    if (x >= 8 || y >= 8) return 0x010101u;
    return (x < 2 && y < 2) ? 0x010101u : 0x122334u;
  });
}

TEST_F(D3DDraw, ModulatedDepthTestedListLikeTheTerrain) {
  IDirect3DTexture8* texture = upload(2, 2, std::vector<std::uint32_t>(4, 0xFF808080));
  device->SetTexture(0, texture);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  std::vector<ScreenVertex> near = strip(0, 0, 16, 16, 0x00FF00FF, 0.25f);
  std::vector<ScreenVertex> far = strip(8, 0, 32, 16, 0x0000FF00, 0.75f);
  std::vector<ScreenVertex> list = {near[0], near[1], near[2], near[1], near[3], near[2],
                                    far[0],  far[1],  far[2],  far[1],  far[3],  far[2]};
  write(list);
  device->BeginScene();
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 4), D3D_OK);
  device->EndScene();
  rastertest::expectPicture(frame(), [](int x, int) { return x < 16 ? 0x800080u : 0x008000u; });
}

TEST_F(D3DDraw, DrawingIsValidatedLikeThePlatform) {
  write(strip(0, 0, 8, 8, 0xFFFFFFFF));
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL); // outside a scene
  device->BeginScene();
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 61, 1), D3D_OK);           // the last 3 vertices
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 61, 2), D3DERR_INVALIDCALL); // past the end
  EXPECT_EQ(device->DrawPrimitive(D3DPT_LINELIST, 0, 1), D3DERR_INVALIDCALL);
  device->SetVertexShader(D3DFVF_XYZ | D3DFVF_DIFFUSE); // needs a transform stage we lack
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
  device->SetVertexShader(ScreenFormat);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DOTPRODUCT3);
  EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_UNSUPPORTEDCOLOROPERATION);
  device->EndScene();
}

TEST_F(D3DDraw, TextureRulesFollowThePoolsAndLevels) {
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(device->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
  textures.push_back(texture);
  EXPECT_EQ(texture->GetLevelCount(), 7u);
  D3DLOCKED_RECT locked;
  EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL); // the card's memory
  IDirect3DTexture8* staging = nullptr;
  ASSERT_EQ(device->CreateTexture(1, 1, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &staging), D3D_OK);
  EXPECT_EQ(staging->GetLevelCount(), 1u);
  EXPECT_EQ(device->SetTexture(0, staging), D3DERR_INVALIDCALL); // system memory cannot be drawn with
  EXPECT_EQ(device->UpdateTexture(staging, texture), D3DERR_INVALIDCALL); // sizes differ
  EXPECT_EQ(staging->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(staging->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL); // already locked
  EXPECT_EQ(staging->UnlockRect(0), D3D_OK);
  EXPECT_EQ(staging->UnlockRect(0), D3DERR_INVALIDCALL);
  staging->Release();
  EXPECT_EQ(device->CreateTexture(4, 4, 4, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &staging), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &staging), D3DERR_INVALIDCALL);
}

TEST_F(D3DDraw, VertexBufferLocksStayInsideTheBuffer) {
  BYTE* bytes = nullptr;
  EXPECT_EQ(buffer->Lock(28 * 63, 28, &bytes, 0), D3D_OK);
  EXPECT_EQ(buffer->Unlock(), D3D_OK);
  EXPECT_EQ(buffer->Lock(28 * 63, 29, &bytes, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(bytes, nullptr);
  EXPECT_EQ(buffer->Unlock(), D3DERR_INVALIDCALL);
}

} // namespace
