// The demo's start-up: every font, texture and the mesh, then the music. Each failing
// step says what failed and stops there, leaving what was made for the process end.
#include "content/filters.h"
#include "content/font.h"
#include "content/generators.h"
#include "content/heap.h"
#include "content/mesh.h"
#include "content/pcx.h"
#include "content/texture.h"
#include "data/embedded.h"
#include "direction/demo.h"
#include "direction/globals.h"
#include "direction/memoryfile.h"
#include "player/song.h"
#include "player/modulefile.h"
#include "player/player.h"
#include "shell/globals.h"

namespace {

constexpr std::int32_t OutputRate = 44100;     // frames per second
constexpr std::uint32_t StoneTextureSize = 512; // the 64 x 64 stone, enlarged
constexpr std::uint32_t SansDimColour = 0x999988;
constexpr std::uint32_t SansLightColour = 0xDDCCCC;
constexpr std::uint32_t SerifDimColour = 0xAA9999;
constexpr std::uint32_t SerifLightColour = 0xCCBBAA;

PixelBuffer decode(const unsigned char* file, int size) { return decodePcx(file, static_cast<std::size_t>(size)); }

// Each font cuts its own freshly decoded strip.
BitmapFont fontFromStrip(const unsigned char* strip, int size, const char* alphabet, std::uint32_t colour) {
  PixelBuffer decoded = decode(strip, size);
  BitmapFont font = buildFont(alphabet, colour, decoded);
  memFree(decoded.pixels);
  return font;
}

void buildFonts() {
  sansFontDim = fontFromStrip(sansGlyphStrip, sansGlyphStripSize, SansAlphabet, SansDimColour);
  sansFontLight = fontFromStrip(sansGlyphStrip, sansGlyphStripSize, SansAlphabet, SansLightColour);
  serifFontDim = fontFromStrip(serifGlyphStrip, serifGlyphStripSize, SerifAlphabet, SerifDimColour);
  serifFontLight = fontFromStrip(serifGlyphStrip, serifGlyphStripSize, SerifAlphabet, SerifLightColour);
}

// Uploads the picture into `slot` and frees it (the texture keeps its own copy).
HRESULT uploadAndFree(PixelBuffer picture, IDirect3DTexture8** slot) {
  HRESULT result = uploadTexture(picture, slot);
  memFree(picture.pixels);
  return result;
}

PixelBuffer enlargedStone() {
  PixelBuffer stone = decode(stoneImage, stoneImageSize);
  PixelBuffer big = upscaleSoft(stone, StoneTextureSize, StoneTextureSize);
  memFree(stone.pixels);
  return big;
}

PixelBuffer emberImage() {
  PixelBuffer big = enlargedStone();
  PixelBuffer ember = filterPixels(big, FilterWarmShift);
  memFree(big.pixels);
  return ember;
}

bool uploadTextures() {
  return SUCCEEDED(uploadAndFree(enlargedStone(), &stoneTexture)) &&
         SUCCEEDED(uploadAndFree(decode(spotImage, spotImageSize), &spotTexture)) &&
         SUCCEEDED(uploadAndFree(emberImage(), &emberTexture)) &&
         SUCCEEDED(uploadAndFree(makeGlowImage(), &glowTexture));
}

HRESULT fail(const char* message) {
  showError(message);
  return E_FAIL;
}

} // namespace

HRESULT makeDemoContent() {
  buildFonts();
  if (!uploadTextures()) return fail("loadtexture fail.");
  if (buildHeightMesh(demoMesh) < 0) return fail("load fail.");
  return S_OK;
}

HRESULT initDemo() {
  if (FAILED(makeDemoContent())) return E_FAIL;
  // The sync table is constant program data (direction/synctable.cpp).
  installFileCallbacks(memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell);
  if (!openOutput(OutputRate)) return fail("xm play fail.");
  demoSong = createSong("", nullptr);
  if (!demoSong) return fail("xm fail.");
  startSong(demoSong);
  return S_OK;
}
