#pragma once
// Bitmap fonts: glyph cells cut from a strip image, packed into one atlas texture.
#include <cstdint>

#include "content/pixels.h"

struct IDirect3DTexture8;

constexpr std::int32_t FontGlyphLimit = 100;  // glyph slots in a font record
constexpr std::uint32_t FontAtlasSize = 256;  // the atlas is FontAtlasSize x FontAtlasSize texels

// Glyph orders of the two embedded strips, single-byte ISO 8859-1 (0xE6 ae, 0xF8 o-slash,
// 0xE5 a-ring). The serif strip holds capitals under lower-case names.
inline constexpr char SansAlphabet[] = "abcdefghijklmnopqrstuvwxyz\xE6\xF8\xE5!. 1234567890";
inline constexpr char SerifAlphabet[] = "abcdefghijklmnopqrstuvwxyz\xE6\xF8\xE5 ";

struct GlyphU {
  float left, right; // atlas texels / 256
};
struct GlyphV {
  float top, bottom; // atlas texels / 256
};

// A plain value record, copied freely. The alphabet is static program data, not owned.
struct BitmapFont {
  const char* alphabet;               // NUL-terminated, characters in glyph order
  GlyphU glyphU[FontGlyphLimit];
  GlyphV glyphV[FontGlyphLimit];
  std::int32_t glyphCount;            // characters in alphabet (at most FontGlyphLimit)
  IDirect3DTexture8* texture;         // the atlas; null if its upload failed
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(BitmapFont) == 1612);
#endif

// Cuts `strip` into one cell per alphabet character at its row-0 markers (pure white
// pixels where cells end), packs the cells left to right into bands of the atlas with
// every non-black pixel as ink in `colour` (low byte red, then green, then blue; alpha
// 0xFF), and records each glyph's rectangle in `font` (texture left null). Returns the
// unsoftened atlas in a new memAlloc block. A missing marker ends its cell at the strip's
// right edge; ink that would fall outside the atlas is dropped.
PixelBuffer packGlyphAtlas(const char* alphabet, std::uint32_t colour, PixelBuffer strip, BitmapFont& font);

// packGlyphAtlas, then the atlas softened with FilterSoftenEdges and uploaded as the
// font's texture (null on failure: no message, text then draws untextured). Uses `device`.
BitmapFont buildFont(const char* alphabet, std::uint32_t colour, PixelBuffer strip);
