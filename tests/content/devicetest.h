#pragma once
// A software Direct3D device with a small back buffer, installed in the shell globals the
// content code draws through (device, sharedVertexBuffer, screenWidth).
#include <gtest/gtest.h>

#include "platform/port/testhooks.h"
#include "shell/globals.h"

class DeviceTest : public testing::Test {
protected:
  static constexpr UINT BackBufferWidth = 128;
  static constexpr UINT BackBufferHeight = 96;

  void SetUp() override {
    port::resetTestHooks();
    direct3D = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(direct3D, nullptr);
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = BackBufferWidth;
    p.BackBufferHeight = BackBufferHeight;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &p, &device),
              S_OK);
    ASSERT_EQ(device->CreateVertexBuffer(SharedVertexCount * sizeof(ScreenVertex), D3DUSAGE_WRITEONLY,
                                         ScreenVertexFormat, D3DPOOL_DEFAULT, &sharedVertexBuffer),
              S_OK);
    screenWidth = 640;
    screenHeight = 480;
  }

  void TearDown() override {
    if (sharedVertexBuffer) sharedVertexBuffer->Release();
    if (device) device->Release();
    if (direct3D) direct3D->Release();
    sharedVertexBuffer = nullptr;
    device = nullptr;
    direct3D = nullptr;
    screenWidth = 640;
    screenHeight = 480;
    port::resetTestHooks();
  }
};
