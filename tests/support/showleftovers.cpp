#include "tests/support/showleftovers.h"

#include <initializer_list>

#include "content/heap.h"
#include "direction/globals.h"

namespace {

void release(IDirect3DTexture8*& texture) {
  if (texture) texture->Release();
  texture = nullptr;
}

} // namespace

void releaseShowLeftovers() {
  for (BitmapFont* font : {&sansFontDim, &sansFontLight, &serifFontDim, &serifFontLight}) release(font->texture);
  release(emberTexture);
  release(glowTexture);
  memFree(demoMesh.points);
  memFree(demoMesh.screen);
  memFree(demoMesh.vertices);
  memFree(demoMesh.colours);
  demoMesh = HeightMesh{};
}
