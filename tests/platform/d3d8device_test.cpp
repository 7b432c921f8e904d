// The Direct3D 8 objects as the show uses them: creation and its failures, reference
// counting, reset, clearing, presenting, states and their defaults.
#include "platform/d3d8.h"
#include "platform/port/backend.h"
#include "platform/port/testhooks.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

D3DPRESENT_PARAMETERS parameters(UINT width, UINT height, D3DFORMAT format) {
  D3DPRESENT_PARAMETERS p = {};
  p.BackBufferWidth = width;
  p.BackBufferHeight = height;
  p.BackBufferFormat = format;
  p.BackBufferCount = 2;
  p.MultiSampleType = D3DMULTISAMPLE_NONE;
  p.SwapEffect = D3DSWAPEFFECT_DISCARD;
  p.Windowed = FALSE;
  p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
  p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
  return p;
}

class D3DDevice : public ::testing::Test {
protected:
  void SetUp() override {
    port::resetTestHooks();
    d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
  }
  void TearDown() override {
    if (device) {
      EXPECT_EQ(device->Release(), 0u);
    }
    if (d3d) {
      EXPECT_EQ(d3d->Release(), 0u);
    }
    port::setVideoSink(nullptr);
    port::resetTestHooks();
  }
  HRESULT create(D3DDEVTYPE type, D3DPRESENT_PARAMETERS p) {
    return d3d->CreateDevice(D3DADAPTER_DEFAULT, type, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device);
  }
  // The show's set-up: a device, then a reset that adds the D16 depth buffer.
  void createWithDepth(UINT width = 16, UINT height = 8) {
    ASSERT_EQ(create(D3DDEVTYPE_HAL, parameters(width, height, D3DFMT_X8R8G8B8)), D3D_OK);
    D3DPRESENT_PARAMETERS p = parameters(width, height, D3DFMT_X8R8G8B8);
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(device->Reset(&p), D3D_OK);
  }
  std::vector<std::uint32_t> presented() {
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    return port::lastPresent().pixels;
  }

  IDirect3D8* d3d = nullptr;
  IDirect3DDevice8* device = nullptr;
};

TEST_F(D3DDevice, CreationFailsOnlyWhereTheHooksSayOrTheSdkVersionIsWrong) {
  EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION + 1), nullptr);
  port::setFailure(port::FailPoint::Direct3DCreate8, true);
  EXPECT_EQ(Direct3DCreate8(D3D_SDK_VERSION), nullptr);
  port::setFailure(port::FailPoint::CreateDeviceHal, true);
  EXPECT_TRUE(FAILED(create(D3DDEVTYPE_HAL, parameters(640, 480, D3DFMT_X8R8G8B8))));
  EXPECT_EQ(device, nullptr);
  EXPECT_TRUE(FAILED(create(D3DDEVTYPE_HAL, parameters(640, 480, D3DFMT_R8G8B8))));
  // The reference device still works, at the fallback's size and 16-bit format.
  ASSERT_EQ(create(D3DDEVTYPE_REF, parameters(320, 200, D3DFMT_R5G6B5)), D3D_OK);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00FFFFFF, 1.0f, 0), D3D_OK);
  std::vector<std::uint32_t> frame = presented();
  EXPECT_EQ(port::lastPresent().width, 320);
  EXPECT_EQ(frame.size(), 320u * 200u);
  EXPECT_EQ(frame[0], 0xFFFFFFu); // kept as 32 bits: no 16-bit quantisation
  EXPECT_EQ(device->Release(), 0u);
  device = nullptr;
  port::setFailure(port::FailPoint::CreateDeviceRef, true);
  EXPECT_TRUE(FAILED(create(D3DDEVTYPE_REF, parameters(320, 200, D3DFMT_R5G6B5))));
}

TEST_F(D3DDevice, CreationValidatesItsParameters) {
  EXPECT_EQ(create(D3DDEVTYPE_HAL, parameters(0, 480, D3DFMT_X8R8G8B8)), D3DERR_INVALIDCALL);
  EXPECT_EQ(create(D3DDEVTYPE_HAL, parameters(640, 480, D3DFMT_D16)), D3DERR_INVALIDCALL);
  D3DPRESENT_PARAMETERS p = parameters(640, 480, D3DFMT_X8R8G8B8);
  EXPECT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, 0, &p, &device), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d->CreateDevice(1, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device, nullptr);
  p.BackBufferCount = 0;
  ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                              &device),
            D3D_OK);
  EXPECT_EQ(p.BackBufferCount, 1u); // filled in, as the platform does
}

TEST_F(D3DDevice, CheckDeviceFormatAnswersForWhatTheDeviceSupports) {
  auto check = [&](DWORD usage, D3DRESOURCETYPE type, D3DFORMAT format) {
    return d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, usage, type, format);
  };
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3D_OK);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8), D3D_OK);
  EXPECT_EQ(check(0, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D16), D3D_OK);
  EXPECT_EQ(check(D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24S8), D3DERR_NOTAVAILABLE);
}

TEST_F(D3DDevice, ReferenceCountsFollowComRules) {
  createWithDepth();
  EXPECT_EQ(device->AddRef(), 2u);
  EXPECT_EQ(device->Release(), 1u);
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture), D3D_OK);
  EXPECT_EQ(device->SetTexture(0, texture), D3D_OK); // the device holds a reference
  EXPECT_EQ(texture->AddRef(), 3u);
  EXPECT_EQ(texture->Release(), 2u);
  IDirect3DBaseTexture8* bound = nullptr;
  ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
  EXPECT_EQ(bound, texture);
  EXPECT_EQ(bound->Release(), 2u);
  IDirect3DDevice8* owner = nullptr;
  ASSERT_EQ(texture->GetDevice(&owner), D3D_OK);
  EXPECT_EQ(owner, device);
  EXPECT_EQ(owner->Release(), 1u);
  EXPECT_EQ(device->SetTexture(0, nullptr), D3D_OK);
  EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3DDevice, ResourcesMayOutliveTheDeviceAndTheDeviceItsBindings) {
  createWithDepth();
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(280, 0, 0x144, D3DPOOL_DEFAULT, &buffer), D3D_OK);
  ASSERT_EQ(device->SetStreamSource(0, buffer, 28), D3D_OK);
  EXPECT_EQ(buffer->Release(), 1u); // still bound
  EXPECT_EQ(device->Release(), 0u); // drops the binding: the buffer goes too
  device = nullptr;
  IDirect3DDevice8* second = nullptr;
  D3DPRESENT_PARAMETERS p = parameters(8, 8, D3DFMT_X8R8G8B8);
  ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &second), D3D_OK);
  IDirect3DTexture8* texture = nullptr;
  ASSERT_EQ(second->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
  EXPECT_EQ(second->Release(), 0u);
  EXPECT_EQ(d3d->Release(), 0u);
  d3d = nullptr;
  D3DLOCKED_RECT locked; // the texture keeps what it needs alive
  EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3DDevice, ResetFailsWhileDefaultPoolResourcesExistOrTheHookSaysSo) {
  createWithDepth();
  D3DPRESENT_PARAMETERS p = parameters(16, 8, D3DFMT_X8R8G8B8);
  port::setFailure(port::FailPoint::Reset, true);
  EXPECT_TRUE(FAILED(device->Reset(&p)));
  port::setFailure(port::FailPoint::Reset, false);
  IDirect3DVertexBuffer8* buffer = nullptr;
  ASSERT_EQ(device->CreateVertexBuffer(28, 0, 0x144, D3DPOOL_DEFAULT, &buffer), D3D_OK);
  EXPECT_EQ(device->Reset(&p), D3DERR_INVALIDCALL);
  buffer->Release();
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  EXPECT_EQ(device->Reset(&p), D3D_OK);
  DWORD cull = 0, zenable = 7;
  device->GetRenderState(D3DRS_CULLMODE, &cull);
  device->GetRenderState(D3DRS_ZENABLE, &zenable);
  EXPECT_EQ(cull, DWORD(D3DCULL_CCW)); // back to the default
  EXPECT_EQ(zenable, DWORD(D3DZB_FALSE)); // no depth buffer any more
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(D3DDevice, CreateFailuresAreInjectable) {
  createWithDepth();
  IDirect3DVertexBuffer8* buffer = reinterpret_cast<IDirect3DVertexBuffer8*>(1);
  port::setFailure(port::FailPoint::CreateVertexBuffer, true);
  EXPECT_TRUE(FAILED(device->CreateVertexBuffer(840000, 0, 0x144, D3DPOOL_DEFAULT, &buffer)));
  EXPECT_EQ(buffer, nullptr);
  IDirect3DTexture8* texture = reinterpret_cast<IDirect3DTexture8*>(1);
  port::setFailure(port::FailPoint::CreateTexture, true);
  EXPECT_TRUE(FAILED(device->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &texture)));
  EXPECT_EQ(texture, nullptr);
}

TEST_F(D3DDevice, DefaultStatesAreTheDirect3D8Defaults) {
  createWithDepth();
  auto render = [&](D3DRENDERSTATETYPE s) {
    DWORD v = 0xDEADBEEF;
    EXPECT_EQ(device->GetRenderState(s, &v), D3D_OK);
    return v;
  };
  auto stage = [&](DWORD st, D3DTEXTURESTAGESTATETYPE s) {
    DWORD v = 0xDEADBEEF;
    EXPECT_EQ(device->GetTextureStageState(st, s, &v), D3D_OK);
    return v;
  };
  EXPECT_EQ(render(D3DRS_ZENABLE), DWORD(D3DZB_TRUE));
  EXPECT_EQ(render(D3DRS_ZFUNC), DWORD(D3DCMP_LESSEQUAL));
  EXPECT_EQ(render(D3DRS_ZWRITEENABLE), DWORD(TRUE));
  EXPECT_EQ(render(D3DRS_SRCBLEND), DWORD(D3DBLEND_ONE));
  EXPECT_EQ(render(D3DRS_DESTBLEND), DWORD(D3DBLEND_ZERO));
  EXPECT_EQ(render(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
  EXPECT_EQ(render(D3DRS_DITHERENABLE), DWORD(FALSE));
  EXPECT_EQ(render(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
  EXPECT_EQ(render(D3DRS_SHADEMODE), DWORD(D3DSHADE_GOURAUD));
  EXPECT_EQ(render(D3DRS_FILLMODE), DWORD(D3DFILL_SOLID));
  EXPECT_EQ(stage(0, D3DTSS_COLOROP), DWORD(D3DTOP_MODULATE));
  EXPECT_EQ(stage(0, D3DTSS_COLORARG1), DWORD(D3DTA_TEXTURE));
  EXPECT_EQ(stage(0, D3DTSS_COLORARG2), DWORD(D3DTA_CURRENT));
  EXPECT_EQ(stage(0, D3DTSS_ALPHAOP), DWORD(D3DTOP_SELECTARG1));
  EXPECT_EQ(stage(0, D3DTSS_ALPHAARG1), DWORD(D3DTA_TEXTURE));
  EXPECT_EQ(stage(1, D3DTSS_COLOROP), DWORD(D3DTOP_DISABLE));
  EXPECT_EQ(stage(1, D3DTSS_ALPHAOP), DWORD(D3DTOP_DISABLE));
  EXPECT_EQ(stage(0, D3DTSS_ADDRESSU), DWORD(D3DTADDRESS_WRAP));
  EXPECT_EQ(stage(0, D3DTSS_MAGFILTER), DWORD(D3DTEXF_POINT));
  EXPECT_EQ(stage(0, D3DTSS_MIPFILTER), DWORD(D3DTEXF_NONE));
}

TEST_F(D3DDevice, ClearFillsTargetAndDepthInsideTheClippedRectangles) {
  createWithDepth(16, 8);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0), D3D_OK);
  D3DRECT rects[2] = {{2, 1, 5, 3}, {14, 6, 40, 40}};
  EXPECT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, 0x00FFFFFF, 1.0f, 0), D3D_OK);
  std::vector<std::uint32_t> frame = presented();
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      bool inside = (x >= 2 && x < 5 && y >= 1 && y < 3) || (x >= 14 && y >= 6);
      EXPECT_EQ(frame[y * 16 + x], inside ? 0xFFFFFFu : 0x102030u) << x << "," << y;
    }
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.5f, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL); // D16 has no stencil
}

class RecordingSink : public port::VideoSink {
public:
  bool present(const port::FrameView& frame) override {
    ++frames;
    firstPixel = frame.pixels[0];
    width = frame.width;
    return accept;
  }
  int frames = 0;
  std::uint32_t firstPixel = 0;
  int width = 0;
  bool accept = true;
};

TEST_F(D3DDevice, PresentHandsTheBackBufferToTheSinkAndFailsWhenItRefuses) {
  createWithDepth();
  RecordingSink sink;
  port::setVideoSink(&sink);
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0x00ABCDEF, 1.0f, 0);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(sink.frames, 1);
  EXPECT_EQ(sink.firstPixel, 0xABCDEFu);
  EXPECT_EQ(sink.width, 16);
  EXPECT_EQ(port::lastPresent().presentCount, 1u);
  sink.accept = false;
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DRIVERINTERNALERROR);
  // With the test record's pictures off the sink still gets every frame; only the count is kept.
  port::resetPresents();
  port::keepPresentedPictures(false);
  sink.accept = true;
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(sink.frames, 3);
  EXPECT_EQ(port::lastPresent().presentCount, 1u);
  EXPECT_TRUE(port::lastPresent().pixels.empty());
  port::keepPresentedPictures(true);
  EXPECT_EQ(presented().size(), 16u * 8u);
}

TEST_F(D3DDevice, ScenesDoNotNest) {
  createWithDepth();
  EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->BeginScene(), D3D_OK);
  EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
  EXPECT_EQ(device->EndScene(), D3D_OK);
}

} // namespace
