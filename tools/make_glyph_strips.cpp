// Makes the two embedded glyph strips from the system's DejaVu fonts, rendered in pure
// black and white: data/sans.pcx (lower-case sans-serif, 256-colour) and data/serif.pcx
// (serif capitals, 24-bit). Row 0 carries a white marker at each cell's end column;
// glyphs sit on one baseline in rows 1..36.
//   make_glyph_strips OUT_DIR [FONT_DIR]
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "tools/pcxwriter.h"

namespace {

constexpr std::uint32_t StripHeight = 37;
// Ink stays in rows 2..36 and cell columns 2..w-1: the text drawer samples one row and
// two columns past each cell, which belong to the neighbouring glyph in the atlas.
constexpr int InkTop = 2;
constexpr int InkBottom = 36;
constexpr int InkLeft = 2;
constexpr int InkRightGap = 0;
constexpr int LargestPixelSize = 60;
constexpr const char* DefaultFontDir = "/usr/share/fonts/truetype/dejavu";

struct StripRecipe {
  const char* file;
  const char* fontFile;
  std::vector<unsigned> characters; // Unicode, in cell order
  std::vector<int> cellWidths;
  bool rgb;
};

StripRecipe sansRecipe() {
  std::vector<unsigned> c;
  for (unsigned ch = 'a'; ch <= 'z'; ++ch) c.push_back(ch);
  for (unsigned ch : {0xE6u, 0xF8u, 0xE5u, unsigned('!'), unsigned('.'), unsigned(' ')}) c.push_back(ch);
  for (unsigned ch = '1'; ch <= '9'; ++ch) c.push_back(ch);
  c.push_back('0');
  return {"sans.pcx", "DejaVuSans.ttf", c,
          {21, 23, 23, 21, 22, 15, 20, 24, 9, 11, 20, 10, 31, 24, 22, 24, 22, 15, 20, 13, 21,
           22, 29, 20, 22, 22, 33, 25, 22, 10, 13, 12, 21, 24, 23, 24, 23, 21, 25, 22, 24, 22},
          false};
}

StripRecipe serifRecipe() {
  std::vector<unsigned> c;
  for (unsigned ch = 'A'; ch <= 'Z'; ++ch) c.push_back(ch);
  for (unsigned ch : {0xC6u, 0xD8u, 0xC5u, unsigned(' ')}) c.push_back(ch);
  return {"serif.pcx", "DejaVuSerif.ttf", c,
          {31, 29, 29, 32, 28, 28, 33, 34, 18, 26, 32, 26, 39, 33, 32, 28, 33, 32, 24, 27, 33,
           31, 44, 31, 30, 27, 42, 33, 30, 16},
          true};
}

// One rendered glyph: a 1-bit bitmap unpacked to bytes, with its placement.
struct Glyph {
  int left = 0, top = 0; // bitmap origin relative to the pen: columns right, rows up
  int width = 0, rows = 0;
  int advance = 0;       // pixels
  std::vector<std::uint8_t> ink;
};

bool renderGlyph(FT_Face face, unsigned character, Glyph& glyph) {
  if (FT_Load_Char(face, character, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME)) return false;
  const FT_Bitmap& b = face->glyph->bitmap;
  glyph = Glyph{face->glyph->bitmap_left, face->glyph->bitmap_top, int(b.width), int(b.rows),
                int((face->glyph->advance.x + 32) >> 6), {}};
  glyph.ink.resize(std::size_t(b.width) * b.rows);
  for (unsigned r = 0; r < b.rows; ++r) {
    for (unsigned c = 0; c < b.width; ++c) {
      glyph.ink[r * b.width + c] = (b.buffer[r * b.pitch + c / 8] >> (7 - c % 8)) & 1;
    }
  }
  return true;
}

bool renderAll(FT_Face face, const StripRecipe& recipe, int pixelSize, std::vector<Glyph>& glyphs) {
  if (FT_Set_Pixel_Sizes(face, 0, pixelSize)) return false;
  glyphs.resize(recipe.characters.size());
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    if (!renderGlyph(face, recipe.characters[i], glyphs[i])) return false;
  }
  return true;
}

// The baseline row that fits every glyph in rows InkTop..InkBottom, or -1.
int fitBaseline(const std::vector<Glyph>& glyphs, const StripRecipe& recipe) {
  int ascent = 0, descent = 0;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    const Glyph& g = glyphs[i];
    if (g.width > recipe.cellWidths[i] - InkLeft - InkRightGap) return -1;
    if (g.rows == 0) continue;
    ascent = std::max(ascent, g.top);
    descent = std::max(descent, g.rows - g.top);
  }
  int spare = (InkBottom - InkTop + 1) - (ascent + descent);
  if (spare < 0) return -1;
  return InkTop + spare / 2 + ascent - 1; // the baseline row is the last row of a glyph's ascent
}

// Column of a glyph's bitmap in its cell: the advance box centred in the ink area, then
// nudged so the ink stays inside it.
int placeColumn(const Glyph& g, int cellWidth) {
  int area = cellWidth - InkLeft - InkRightGap;
  int column = InkLeft + (area - g.advance) / 2 + g.left;
  return std::clamp(column, InkLeft, InkLeft + area - g.width);
}

std::vector<std::uint8_t> layStrip(const std::vector<Glyph>& glyphs, const StripRecipe& recipe, int baseline,
                                   std::uint32_t width) {
  std::uint32_t line = tools::evenWidth(width);
  std::vector<std::uint8_t> ink(std::size_t(line) * StripHeight, 0);
  int cellStart = 0;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    const Glyph& g = glyphs[i];
    int column = cellStart + placeColumn(g, recipe.cellWidths[i]);
    int row = baseline + 1 - g.top;
    for (int r = 0; r < g.rows; ++r) {
      for (int c = 0; c < g.width; ++c) ink[std::size_t(row + r) * line + column + c] = g.ink[r * g.width + c];
    }
    cellStart += recipe.cellWidths[i];
    ink[cellStart] = 1; // row 0: the marker where this cell ends
  }
  return ink;
}

bool makeStrip(FT_Library library, const std::string& fontDir, const std::string& outDir, const StripRecipe& recipe) {
  FT_Face face;
  std::string fontPath = fontDir + "/" + recipe.fontFile;
  if (FT_New_Face(library, fontPath.c_str(), 0, &face)) {
    std::fprintf(stderr, "cannot open %s\n", fontPath.c_str());
    return false;
  }
  std::vector<Glyph> glyphs;
  // The largest size at which every glyph fits its cell and the shared ink rows.
  int size = LargestPixelSize, baseline = -1;
  for (; size > 0; --size) {
    if (renderAll(face, recipe, size, glyphs) && (baseline = fitBaseline(glyphs, recipe)) >= 0) break;
  }
  FT_Done_Face(face);
  if (baseline < 0) return false;
  std::printf("%s: %s at %d pixels, baseline row %d\n", recipe.file, recipe.fontFile, size, baseline);
  // Xmax is the last marker's column: the strip is one column wider than the cells.
  std::uint32_t width = std::accumulate(recipe.cellWidths.begin(), recipe.cellWidths.end(), 0u) + 1;
  std::vector<std::uint8_t> ink = layStrip(glyphs, recipe, baseline, width);
  std::vector<std::uint8_t> bytes;
  if (recipe.rgb) {
    std::vector<tools::Rgb> pixels(ink.size());
    for (std::size_t i = 0; i < ink.size(); ++i) pixels[i] = ink[i] ? tools::Rgb{255, 255, 255} : tools::Rgb{0, 0, 0};
    bytes = tools::encodeRgbPcx(width, StripHeight, pixels);
  } else {
    tools::PcxPalette palette{}; // index 0 black, 1 white, the rest unused (black)
    palette[1] = {255, 255, 255};
    bytes = tools::encodeIndexedPcx(width, StripHeight, ink, palette);
  }
  return tools::writeFile(outDir + "/" + recipe.file, bytes);
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s OUT_DIR [FONT_DIR]\n", argv[0]);
    return 2;
  }
  std::string fontDir = argc == 3 ? argv[2] : DefaultFontDir;
  FT_Library library;
  if (FT_Init_FreeType(&library)) return 1;
  bool ok = makeStrip(library, fontDir, argv[1], sansRecipe());
  ok = makeStrip(library, fontDir, argv[1], serifRecipe()) && ok;
  FT_Done_FreeType(library);
  return ok ? 0 : 1;
}
