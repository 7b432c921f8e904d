// The committed pictures in data/ keep the sizes, formats and glyph-strip layout the show
// is built around (they are remade by tools/make_textures and tools/make_glyph_strips).
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "content/heap.h"
#include "content/pcx.h"

namespace {

std::vector<unsigned char> readData(const std::string& name) {
  std::ifstream in(std::string(NYRA_SOURCE_DIR) + "/data/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Image {
  std::vector<unsigned char> file;
  PixelBuffer pixels;
  explicit Image(const std::string& name) : file(readData(name)), pixels(decodePcx(file.data(), file.size())) {}
  ~Image() { memFree(pixels.pixels); }
  unsigned word(std::size_t at) const { return file[at] | (file[at + 1] << 8); }
  int planes() const { return file[65]; }
  const Pixel& at(std::uint32_t x, std::uint32_t y) const { return pixelAt(pixels, x, y); }
  bool black(std::uint32_t x, std::uint32_t y) const { return !at(x, y).channel[0] && !at(x, y).channel[1] && !at(x, y).channel[2]; }
  bool white(std::uint32_t x, std::uint32_t y) const { return at(x, y).channel[0] == 255 && at(x, y).channel[1] == 255 && at(x, y).channel[2] == 255; }
};

void expectHeader(const Image& image, unsigned xmax, unsigned ymax, int planes, std::uint32_t width) {
  ASSERT_GE(image.file.size(), 128u);
  EXPECT_EQ(image.file[0], 10);
  EXPECT_EQ(image.file[1], 5);
  EXPECT_EQ(image.file[2], 1);
  EXPECT_EQ(image.file[3], 8);
  EXPECT_EQ(image.word(4), 0u); // Xmin
  EXPECT_EQ(image.word(6), 0u); // Ymin
  EXPECT_EQ(image.word(8), xmax);
  EXPECT_EQ(image.word(10), ymax);
  EXPECT_EQ(image.planes(), planes);
  EXPECT_EQ(image.word(66), width); // BytesPerLine: the even width
  EXPECT_EQ(image.pixels.width, width);
  EXPECT_EQ(image.pixels.height, ymax + 1);
}

TEST(CommittedImages, SpotIsASixteenSquareDimRoundSpot) {
  Image spot("spot.pcx");
  expectHeader(spot, 15, 15, 1, 16);
  EXPECT_EQ(spot.file[spot.file.size() - 769], 12); // the palette marker
  int peak = 0;
  for (std::uint32_t y = 0; y < 16; ++y) {
    for (std::uint32_t x = 0; x < 16; ++x) {
      const Pixel& p = spot.at(x, y);
      EXPECT_EQ(p.channel[0], p.channel[1]);
      EXPECT_EQ(p.channel[0], p.channel[2]);
      peak = std::max(peak, int(p.channel[0]));
    }
  }
  EXPECT_EQ(peak, 41);
  EXPECT_EQ(spot.at(7, 7).channel[0], 41);
  EXPECT_EQ(spot.at(0, 0).channel[0], 0);
  EXPECT_EQ(spot.at(15, 15).channel[0], 0);
  // Falling outwards in steps of about 8 along the middle row.
  for (std::uint32_t x = 8; x < 15; ++x) {
    int step = spot.at(x, 7).channel[0] - spot.at(x + 1, 7).channel[0];
    EXPECT_TRUE(step == 0 || (step >= 6 && step <= 10) || spot.at(x + 1, 7).channel[0] == 0) << x;
  }
}

double warmth(const Pixel& p) { return double(p.channel[0]) - p.channel[2]; }

TEST(CommittedImages, StoneIsCoolSpeckleWithAWarmStreakAndTilesSeamlessly) {
  Image stone("stone.pcx");
  expectHeader(stone, 63, 63, 1, 64);
  EXPECT_EQ(stone.file[stone.file.size() - 769], 12);
  double leftWarmth = 0, rightWarmth = 0;
  for (std::uint32_t y = 0; y < 64; ++y) {
    for (std::uint32_t x = 0; x < 21; ++x) leftWarmth += warmth(stone.at(x, y));
    for (std::uint32_t x = 32; x < 64; ++x) rightWarmth += warmth(stone.at(x, y));
  }
  EXPECT_GT(leftWarmth / (21 * 64), 20.0);   // orange-red down the left third
  EXPECT_LT(rightWarmth / (32 * 64), -5.0);  // grey-blue elsewhere
  // Across the wrap seams neighbours differ no more than inside the picture.
  auto difference = [&](std::uint32_t x0, std::uint32_t y0, std::uint32_t x1, std::uint32_t y1) {
    int d = 0;
    for (int ch = 0; ch < 3; ++ch) d += std::abs(stone.at(x0, y0).channel[ch] - stone.at(x1, y1).channel[ch]);
    return d;
  };
  double seam = 0, inside = 0;
  for (std::uint32_t i = 0; i < 64; ++i) {
    seam += difference(63, i, 0, i) + difference(i, 63, i, 0);
    inside += difference(31, i, 32, i) + difference(i, 31, i, 32);
  }
  EXPECT_LT(seam, inside * 1.5);
}

// Strips: row 0 has a pure white marker exactly where each cell ends, nothing else;
// every pixel is black or white; each glyph but the space has ink inside its cell.
void expectStrip(const Image& strip, const std::vector<int>& widths, int spaceCell) {
  std::vector<int> ends(widths.size());
  std::partial_sum(widths.begin(), widths.end(), ends.begin());
  std::vector<bool> marker(strip.pixels.width, false);
  for (int e : ends) marker[e] = true;
  for (std::uint32_t x = 0; x < strip.pixels.width; ++x) {
    EXPECT_EQ(strip.white(x, 0), bool(marker[x])) << "row 0, column " << x;
    if (!marker[x]) {
      EXPECT_TRUE(strip.black(x, 0)) << "column " << x;
    }
  }
  for (std::uint32_t y = 1; y < strip.pixels.height; ++y) {
    for (std::uint32_t x = 0; x < strip.pixels.width; ++x) ASSERT_TRUE(strip.black(x, y) || strip.white(x, y)) << x << "," << y;
  }
  int start = 0;
  for (std::size_t cell = 0; cell < widths.size(); ++cell) {
    int ink = 0;
    for (std::uint32_t y = 1; y < strip.pixels.height; ++y)
      for (int x = start; x < ends[cell]; ++x) ink += strip.white(x, y);
    if (int(cell) == spaceCell) {
      EXPECT_EQ(ink, 0) << "space cell";
    } else {
      EXPECT_GT(ink, 8) << "cell " << cell; // the full stop is the smallest
    }
    // The text drawer shows a cell's columns 1..w+1 and one row of the band below, so
    // ink kept to columns 2..w-1 and rows 2..36 never shows up in a neighbour's quad.
    for (std::uint32_t y = 1; y < strip.pixels.height; ++y) {
      for (int x = start; x < start + 2; ++x) EXPECT_TRUE(strip.black(x, y)) << "cell " << cell << " " << x << "," << y;
    }
    for (int x = start; x < ends[cell]; ++x) EXPECT_TRUE(strip.black(x, 1)) << "cell " << cell << " row 1";
    start = ends[cell];
  }
  for (std::uint32_t y = 1; y < strip.pixels.height; ++y) EXPECT_TRUE(strip.black(strip.pixels.width - 1, y));
}

TEST(CommittedImages, SansStripLayout) {
  Image sans("sans.pcx");
  expectHeader(sans, 870, 36, 1, 872);
  expectStrip(sans, {21, 23, 23, 21, 22, 15, 20, 24, 9, 11, 20, 10, 31, 24, 22, 24, 22, 15, 20, 13, 21,
                     22, 29, 20, 22, 22, 33, 25, 22, 10, 13, 12, 21, 24, 23, 24, 23, 21, 25, 22, 24, 22},
              31);
}

TEST(CommittedImages, SerifStripLayout) {
  Image serif("serif.pcx");
  expectHeader(serif, 911, 36, 3, 912);
  expectStrip(serif, {31, 29, 29, 32, 28, 28, 33, 34, 18, 26, 32, 26, 39, 33, 32, 28, 33, 32, 24, 27, 33,
                      31, 44, 31, 30, 27, 42, 33, 30, 16},
              29);
}

} // namespace
