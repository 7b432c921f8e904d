#include "content/font.h"

#include "content/filters.h"
#include "content/heap.h"
#include "content/texture.h"

BitmapFont buildFont(const char* alphabet, std::uint32_t colour, PixelBuffer strip) {
  BitmapFont font;
  PixelBuffer atlas = packGlyphAtlas(alphabet, colour, strip, font);
  PixelBuffer softened = filterPixels(atlas, FilterSoftenEdges);
  memFree(atlas.pixels);
  if (FAILED(uploadTexture(softened, &font.texture))) font.texture = nullptr;
  memFree(softened.pixels); // the texture holds its own copy
  return font;
}
