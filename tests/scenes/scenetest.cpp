#include "tests/scenes/scenetest.h"

#include <cstring>

#include "direction/demo.h"
#include "direction/globals.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/platform/rasterizer_picture.h"
#include "tests/support/showleftovers.h"

namespace {
constexpr D3DCOLOR Black = 0;
constexpr float FarDepth = 1.0f;
constexpr std::uint32_t RgbMask = 0xFFFFFF;
} // namespace

std::vector<ScreenVertex> verticesOf(const port::DrawRecord& draw) {
  std::vector<ScreenVertex> vertices;
  for (std::size_t at = 0; at + sizeof(ScreenVertex) <= draw.vertices.size(); at += draw.stride) {
    ScreenVertex v;
    std::memcpy(&v, draw.vertices.data() + at, sizeof v);
    vertices.push_back(v);
  }
  return vertices;
}

ScreenVertex firstVertex(const port::DrawRecord& draw) {
  std::vector<ScreenVertex> vertices = verticesOf(draw);
  return vertices.empty() ? ScreenVertex{} : vertices.front();
}

void SceneTest::startShow(bool software) {
  port::resetTestHooks();
  resetShell();
  resetDirectionGlobals();
  if (software) port::setFailure(port::FailPoint::CreateDeviceHal, true);
  ASSERT_EQ(initDirect3D(nullptr), S_OK);
  port::setFailure(port::FailPoint::CreateDeviceHal, false);
  ASSERT_EQ(makeDemoContent(), S_OK);
}

void SceneTest::TearDown() {
  releaseShowLeftovers();
  shutdownDemo(); // stone and spot textures, the vertex buffer, the device
  resetShell();
  resetDirectionGlobals();
  port::resetTestHooks();
}

void SceneTest::beginFrame() {
  ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Black, FarDepth, 0), S_OK);
  ASSERT_EQ(device->BeginScene(), S_OK);
}

port::CapturedFrame SceneTest::endFrame() {
  device->EndScene();
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), S_OK);
  return port::lastPresent();
}

std::uint32_t SceneTest::at(const port::CapturedFrame& frame, int x, int y) {
  return frame.pixels[static_cast<std::size_t>(y) * frame.width + x] & RgbMask;
}

int SceneTest::litPixels(const port::CapturedFrame& frame) {
  int lit = 0;
  for (std::uint32_t p : frame.pixels) lit += (p & RgbMask) != 0;
  return lit;
}

std::string SceneTest::savePicture(const port::CapturedFrame& frame, const std::string& name) {
  return rastertest::writePpm(frame.pixels, frame.width, frame.height, name);
}
