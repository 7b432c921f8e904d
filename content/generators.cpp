#include "content/generators.h"

#include <algorithm>

#include "content/filters.h"
#include "content/heap.h"
#include "content/maths.h"

namespace {

constexpr int GlowCentre = 127; // row and column index 127 is distance 0
constexpr double GlowPeak = 255.0;
constexpr std::int64_t ChannelMax = 255;

} // namespace

PixelBuffer upscaleSoft(PixelBuffer source, std::uint32_t width, std::uint32_t height) {
  PixelBuffer blocks = makePixelBuffer(width, height);
  if (source.width == 0 || source.height == 0 || width < source.width || height < source.height) {
    return blocks; // no whole factor: black rather than a division by zero
  }
  std::uint32_t fx = width / source.width;
  std::uint32_t fy = height / source.height;
  // Whole blocks only: a size that is not a multiple leaves its last rows and columns black.
  for (std::uint32_t y = 0; y < height && y / fy < source.height; ++y) {
    const Pixel* from = &pixelAt(source, 0, y / fy);
    Pixel* to = &pixelAt(blocks, 0, y);
    for (std::uint32_t x = 0; x < source.width; ++x, to += fx) std::fill(to, to + fx, from[x]);
  }
  PixelBuffer result = filterPixels(blocks, FilterScatterBlur);
  memFree(blocks.pixels); // the unblurred enlargement is only a step
  return result;
}

PixelBuffer makeGlowImage() {
  PixelBuffer glow = makePixelBuffer(GlowImageSize, GlowImageSize);
  for (std::uint32_t row = 0; row < GlowImageSize; ++row) {
    for (std::uint32_t column = 0; column < GlowImageSize; ++column) {
      double i = static_cast<int>(row) - GlowCentre;
      double j = static_cast<int>(column) - GlowCentre;
      std::int64_t v = std::clamp<std::int64_t>(roundToInt(GlowPeak - sqrtD(i * i + j * j)), 0, ChannelMax);
      Pixel& p = pixelAt(glow, column, row);
      for (std::uint8_t& byte : p.channel) byte = static_cast<std::uint8_t>(v);
    }
  }
  return glow;
}
