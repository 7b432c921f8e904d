// Start-up content generation: the four fonts, the four scene textures and the mesh, as
// the show makes them before its first frame (on the software device).
#include <benchmark/benchmark.h>

#include "content/filters.h"
#include "content/font.h"
#include "content/generators.h"
#include "content/heap.h"
#include "content/mesh.h"
#include "content/pcx.h"
#include "content/texture.h"
#include "data/embedded.h"
#include "shell/globals.h"

namespace {

constexpr std::uint32_t StoneTextureSize = 512;
constexpr UINT BenchBackBufferSize = 64;

struct FontRecipe {
  const unsigned char* strip;
  const int* stripSize;
  const char* alphabet;
  std::uint32_t colour;
};
const FontRecipe Fonts[] = {{sansGlyphStrip, &sansGlyphStripSize, SansAlphabet, 0x999988},
                            {sansGlyphStrip, &sansGlyphStripSize, SansAlphabet, 0xDDCCCC},
                            {serifGlyphStrip, &serifGlyphStripSize, SerifAlphabet, 0xAA9999},
                            {serifGlyphStrip, &serifGlyphStripSize, SerifAlphabet, 0xCCBBAA}};

// A software device with a small back buffer in the shell globals, for the uploads.
struct BenchDevice {
  BenchDevice() {
    direct3D = Direct3DCreate8(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = BenchBackBufferSize;
    p.BackBufferHeight = BenchBackBufferSize;
    p.BackBufferFormat = D3DFMT_X8R8G8B8;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.Windowed = TRUE;
    if (direct3D) {
      direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device);
    }
  }
  ~BenchDevice() {
    if (device) device->Release();
    if (direct3D) direct3D->Release();
    device = nullptr;
    direct3D = nullptr;
  }
};

PixelBuffer decode(const unsigned char* file, int size) { return decodePcx(file, static_cast<std::size_t>(size)); }

// Everything one start-up makes; released again so iterations do not pile up.
struct StartupContent {
  IDirect3DTexture8* textures[8] = {};
  PixelBuffer buffers[5] = {};
  HeightMesh mesh{};

  ~StartupContent() {
    for (IDirect3DTexture8* t : textures)
      if (t) t->Release();
    for (PixelBuffer& b : buffers) memFree(b.pixels);
    memFree(mesh.points);
    memFree(mesh.screen);
    memFree(mesh.vertices);
    memFree(mesh.colours);
  }
};

void makeStartupContent(StartupContent& c) {
  int slot = 0;
  for (const FontRecipe& f : Fonts) {
    PixelBuffer strip = decode(f.strip, *f.stripSize);
    c.textures[slot++] = buildFont(f.alphabet, f.colour, strip).texture;
    memFree(strip.pixels);
  }
  PixelBuffer stone = decode(stoneImage, stoneImageSize);
  c.buffers[0] = upscaleSoft(stone, StoneTextureSize, StoneTextureSize);
  memFree(stone.pixels);
  uploadTexture(c.buffers[0], &c.textures[slot++]);
  c.buffers[1] = decode(spotImage, spotImageSize);
  uploadTexture(c.buffers[1], &c.textures[slot++]);
  PixelBuffer stoneAgain = decode(stoneImage, stoneImageSize);
  c.buffers[2] = upscaleSoft(stoneAgain, StoneTextureSize, StoneTextureSize);
  memFree(stoneAgain.pixels);
  c.buffers[3] = filterPixels(c.buffers[2], FilterWarmShift);
  uploadTexture(c.buffers[3], &c.textures[slot++]);
  c.buffers[4] = makeGlowImage();
  uploadTexture(c.buffers[4], &c.textures[slot++]);
  buildHeightMesh(c.mesh);
}

void BM_StartupContent(benchmark::State& state) {
  BenchDevice bench;
  if (!device) {
    state.SkipWithError("no Direct3D device");
    return;
  }
  for (auto _ : state) {
    StartupContent content;
    makeStartupContent(content);
    benchmark::DoNotOptimize(content.textures);
  }
}
BENCHMARK(BM_StartupContent)->Unit(benchmark::kMillisecond);

void BM_StoneTexturePixels(benchmark::State& state) {
  for (auto _ : state) {
    PixelBuffer stone = decode(stoneImage, stoneImageSize);
    PixelBuffer big = upscaleSoft(stone, StoneTextureSize, StoneTextureSize);
    PixelBuffer ember = filterPixels(big, FilterWarmShift);
    benchmark::DoNotOptimize(ember.pixels);
    memFree(stone.pixels);
    memFree(big.pixels);
    memFree(ember.pixels);
  }
}
BENCHMARK(BM_StoneTexturePixels)->Unit(benchmark::kMillisecond);

void BM_FontAtlasPixels(benchmark::State& state) {
  for (auto _ : state) {
    PixelBuffer strip = decode(sansGlyphStrip, sansGlyphStripSize);
    BitmapFont font;
    PixelBuffer atlas = packGlyphAtlas(SansAlphabet, 0x999988, strip, font);
    PixelBuffer soft = filterPixels(atlas, FilterSoftenEdges);
    benchmark::DoNotOptimize(soft.pixels);
    memFree(strip.pixels);
    memFree(atlas.pixels);
    memFree(soft.pixels);
  }
}
BENCHMARK(BM_FontAtlasPixels)->Unit(benchmark::kMillisecond);

} // namespace
