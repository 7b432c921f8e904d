#include "content/font.h"

#include <cstring>

namespace {

constexpr std::uint32_t GlyphMarkerRow = 0;
constexpr std::uint32_t GlyphFirstRow = 1;   // glyph rows are 1..height-1
constexpr std::uint32_t UvStartInset = 1;    // u starts one texel inside the cell...
constexpr std::uint32_t UvEndOverhang = 2;   // ...and ends two texels past it
constexpr std::uint8_t InkAlpha = 0xFF;
constexpr int ColourByteBits = 8;

bool isMarker(const Pixel& p) {
  return p.channel[ChannelRed] == 0xFF && p.channel[ChannelGreen] == 0xFF && p.channel[ChannelBlue] == 0xFF &&
         p.channel[ChannelSpare] == 0;
}

bool isInk(const Pixel& p) {
  return p.channel[ChannelRed] != 0 || p.channel[ChannelGreen] != 0 || p.channel[ChannelBlue] != 0;
}

// The column of the first marker right of `from`, or the strip width if there is none.
std::uint32_t nextMarker(const PixelBuffer& strip, std::uint32_t from) {
  std::uint32_t column = from + 1;
  while (column < strip.width && !isMarker(pixelAt(strip, column, GlyphMarkerRow))) ++column;
  return column < strip.width ? column : strip.width;
}

Pixel inkPixel(std::uint32_t colour) {
  Pixel ink{};
  for (int ch = 0; ch < ChannelColourCount; ++ch) {
    ink.channel[ch] = static_cast<std::uint8_t>(colour >> (ColourByteBits * ch));
  }
  ink.channel[ChannelSpare] = InkAlpha;
  return ink;
}

// Copies the cell at strip columns from..from+width-1 to atlas (left, top), ink only.
void copyCell(const PixelBuffer& strip, std::uint32_t from, std::uint32_t width, const PixelBuffer& atlas,
              std::uint32_t left, std::uint32_t top, const Pixel& ink) {
  for (std::uint32_t r = GlyphFirstRow; r < strip.height; ++r) {
    std::uint32_t y = top + r - GlyphFirstRow;
    if (y >= atlas.height) return;
    for (std::uint32_t k = 0; k < width && left + k < atlas.width; ++k) {
      if (isInk(pixelAt(strip, from + k, r))) pixelAt(atlas, left + k, y) = ink;
    }
  }
}

} // namespace

PixelBuffer packGlyphAtlas(const char* alphabet, std::uint32_t colour, PixelBuffer strip, BitmapFont& font) {
  PixelBuffer atlas = makePixelBuffer(FontAtlasSize, FontAtlasSize);
  std::memset(&font, 0, sizeof font);
  font.alphabet = alphabet;
  std::size_t length = std::strlen(alphabet);
  font.glyphCount = static_cast<std::int32_t>(length < std::size_t(FontGlyphLimit) ? length : FontGlyphLimit);
  std::uint32_t bandHeight = strip.height > GlyphFirstRow ? strip.height - GlyphFirstRow : 0;
  const Pixel ink = inkPixel(colour);
  std::uint32_t marker = 0, x = 0, y = 0;
  const float texel = 1.0f / FontAtlasSize;
  for (std::int32_t g = 0; g < font.glyphCount; ++g) {
    std::uint32_t next = nextMarker(strip, marker);
    std::uint32_t w = next - marker;
    x += w;
    if (x > FontAtlasSize) { // a cell ending exactly at the atlas edge stays in its band
      y += bandHeight;
      x = w;
    }
    copyCell(strip, marker, w, atlas, x - w, y, ink);
    font.glyphU[g] = {static_cast<float>(x - w + UvStartInset) * texel, static_cast<float>(x + UvEndOverhang) * texel};
    font.glyphV[g] = {static_cast<float>(y) * texel, static_cast<float>(y + strip.height) * texel};
    marker = next;
  }
  return atlas;
}
