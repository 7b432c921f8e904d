#include "tests/scenes/scenetest.h"

#include <algorithm>
#include <cstring>
#include <utility>

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
  stopShow(); // a test may start the show again, at the other size
  port::resetTestHooks();
  resetShell();
  resetDirectionGlobals();
  if (software) port::setFailure(port::FailPoint::CreateDeviceHal, true);
  ASSERT_EQ(initDirect3D(nullptr), S_OK);
  port::setFailure(port::FailPoint::CreateDeviceHal, false);
  ASSERT_EQ(makeDemoContent(), S_OK);
}

void SceneTest::TearDown() { stopShow(); }

void SceneTest::stopShow() {
  releaseShowLeftovers();
  shutdownDemo(); // stone and spot textures, the vertex buffer, the device
  resetShell();
  resetDirectionGlobals();
  port::resetTestHooks();
}

void SceneTest::restartShow(bool software) {
  SceneTest::TearDown();
  startShow(software);
}

std::vector<port::DrawRecord> SceneTest::recordFrame(const std::function<void()>& draw, port::CapturedFrame* picture) {
  beginFrame();
  port::clearDraws();
  port::recordDraws(true);
  draw();
  port::recordDraws(false);
  port::CapturedFrame frame = endFrame();
  if (picture) *picture = std::move(frame);
  return port::draws();
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

SceneTest::Bounds SceneTest::litBounds(const port::CapturedFrame& frame) {
  Bounds b = {frame.width, frame.height, -1, -1};
  for (int y = 0; y < frame.height; ++y)
    for (int x = 0; x < frame.width; ++x) {
      if (at(frame, x, y) == 0) continue;
      b.left = std::min(b.left, x);
      b.right = std::max(b.right, x);
      b.top = std::min(b.top, y);
      b.bottom = std::max(b.bottom, y);
    }
  return b;
}

std::string SceneTest::savePicture(const port::CapturedFrame& frame, const std::string& name) {
  return rastertest::writePpm(frame.pixels, frame.width, frame.height, name);
}
