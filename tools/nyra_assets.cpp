// Writes every picture the show makes at start-up as PNG, for people to look at:
// the four decoded embedded images, the four scene textures and the four font atlases.
//   nyra-assets OUT_DIR
#include <cstdio>
#include <string>

#include "content/filters.h"
#include "content/font.h"
#include "content/generators.h"
#include "content/heap.h"
#include "content/pcx.h"
#include "data/embedded.h"
#include "platform/port/pngfile.h"

namespace {

constexpr std::uint32_t StoneTextureSize = 512;

// Fonts as the show builds them: strip, alphabet, colour (low byte red).
struct FontRecipe {
  const char* name;
  const unsigned char* strip;
  const int* stripSize;
  const char* alphabet;
  std::uint32_t colour;
};

const FontRecipe FontRecipes[] = {
    {"font-sans-dim", sansGlyphStrip, &sansGlyphStripSize, SansAlphabet, 0x999988},
    {"font-sans-light", sansGlyphStrip, &sansGlyphStripSize, SansAlphabet, 0xDDCCCC},
    {"font-serif-dim", serifGlyphStrip, &serifGlyphStripSize, SerifAlphabet, 0xAA9999},
    {"font-serif-light", serifGlyphStrip, &serifGlyphStripSize, SerifAlphabet, 0xCCBBAA},
};

// Writes the picture (its spare byte is not alpha until upload: not stored), then frees it.
bool writePicture(const std::string& dir, const std::string& name, PixelBuffer picture) {
  const std::string path = dir + "/" + name + ".png";
  const port::PngPicture png{reinterpret_cast<const std::uint8_t*>(picture.pixels), static_cast<int>(picture.width),
                             static_cast<int>(picture.height), std::size_t{picture.width} * sizeof(Pixel),
                             port::PixelBytes::Rgbx};
  const std::string error = port::writePngFile(path, png, port::PngSmallLevel);
  memFree(picture.pixels);
  if (!error.empty()) {
    std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  std::printf("%s  %u x %u\n", path.c_str(), picture.width, picture.height);
  return true;
}

PixelBuffer decode(const unsigned char* file, int size) { return decodePcx(file, static_cast<std::size_t>(size)); }

bool writeTextures(const std::string& dir) {
  bool ok = writePicture(dir, "image-stone", decode(stoneImage, stoneImageSize));
  ok = writePicture(dir, "image-spot", decode(spotImage, spotImageSize)) && ok;
  ok = writePicture(dir, "image-sans-strip", decode(sansGlyphStrip, sansGlyphStripSize)) && ok;
  ok = writePicture(dir, "image-serif-strip", decode(serifGlyphStrip, serifGlyphStripSize)) && ok;
  PixelBuffer stone = decode(stoneImage, stoneImageSize);
  PixelBuffer big = upscaleSoft(stone, StoneTextureSize, StoneTextureSize);
  memFree(stone.pixels);
  ok = writePicture(dir, "texture-ember", filterPixels(big, FilterWarmShift)) && ok;
  ok = writePicture(dir, "texture-stone", big) && ok;
  ok = writePicture(dir, "texture-spot", decode(spotImage, spotImageSize)) && ok;
  return writePicture(dir, "texture-glow", makeGlowImage()) && ok;
}

bool writeFontAtlases(const std::string& dir) {
  bool ok = true;
  for (const FontRecipe& recipe : FontRecipes) {
    PixelBuffer strip = decode(recipe.strip, *recipe.stripSize);
    BitmapFont font;
    PixelBuffer atlas = packGlyphAtlas(recipe.alphabet, recipe.colour, strip, font);
    ok = writePicture(dir, recipe.name, filterPixels(atlas, FilterSoftenEdges)) && ok;
    memFree(atlas.pixels);
    memFree(strip.pixels);
  }
  return ok;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
    return 2;
  }
  bool ok = writeTextures(argv[1]);
  ok = writeFontAtlases(argv[1]) && ok;
  return ok ? 0 : 1;
}
