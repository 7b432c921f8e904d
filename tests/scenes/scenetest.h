#pragma once
// The show's own device (initDirect3D: 640 x 480 with its depth buffer, run-long states
// and shared vertex buffer, or the 320 x 200 reference fallback) and its start-up content
// (makeDemoContent: fonts, textures, mesh), for drawing one layer or scene and reading
// back the picture.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/port/testhooks.h"
#include "shell/globals.h"

// The vertices a recorded draw read (ScreenVertex layout).
std::vector<ScreenVertex> verticesOf(const port::DrawRecord& draw);
// Its first vertex: for a line of text, the top-left corner of the first glyph.
ScreenVertex firstVertex(const port::DrawRecord& draw);

class SceneTest : public testing::Test {
protected:
  void SetUp() override { startShow(false); }
  void TearDown() override;

  // Device and content afresh; `software` takes the 320 x 200 fallback.
  void startShow(bool software);
  // Releases the device and content (also what the shutdown leaves).
  void stopShow();
  // The show torn down as after a test, then started afresh (to compare two sizes).
  void restartShow(bool software);
  // Clear to black (colour and depth) and BeginScene, as a frame starts.
  void beginFrame();
  // EndScene and Present; the presented picture.
  port::CapturedFrame endFrame();

  // A frame in which only `draw` runs, with the device's draws recorded: the draws in
  // order; the presented picture goes to `picture` when given.
  std::vector<port::DrawRecord> recordFrame(const std::function<void()>& draw, port::CapturedFrame* picture = nullptr);

  // Red, green and blue of pixel (x, y), 0x00RRGGBB.
  static std::uint32_t at(const port::CapturedFrame& frame, int x, int y);
  // Pixels that are not black.
  static int litPixels(const port::CapturedFrame& frame);
  // The smallest rectangle holding every pixel that is not black (inclusive edges;
  // left > right when nothing is lit).
  struct Bounds {
    int left, top, right, bottom;
  };
  static Bounds litBounds(const port::CapturedFrame& frame);
  // Writes the picture as a PPM under the build directory and returns its path (for
  // a person to look at when a test fails).
  static std::string savePicture(const port::CapturedFrame& frame, const std::string& name);
};
