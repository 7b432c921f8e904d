#include "tests/shell/titlestrokes.h"

#include <algorithm>

#include "direction/demo.h"
#include "direction/globals.h"
#include "platform/port/testhooks.h"
#include "scenes/titles.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/showleftovers.h"

int darkestChannel(std::uint32_t rgb) {
  return std::min({int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF)});
}

std::vector<std::pair<int, int>> titleStrokes() {
  port::resetTestHooks();
  resetShell();
  resetDirectionGlobals();
  std::vector<std::pair<int, int>> strokes;
  if (initDirect3D(nullptr) == S_OK && makeDemoContent() == S_OK) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->BeginScene();
    drawTitle(0);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    const port::CapturedFrame title = port::lastPresent();
    for (int y = 0; y < title.height; ++y)
      for (int x = 0; x < title.width; ++x)
        if (darkestChannel(title.pixels[y * title.width + x]) >= StrokeLevel) strokes.emplace_back(x, y);
  }
  releaseShowLeftovers();
  shutdownDemo();
  resetShell();
  resetDirectionGlobals();
  port::resetTestHooks();
  return strokes;
}
