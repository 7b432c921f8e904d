#include "content/pixels.h"

#include "content/heap.h"

PixelBuffer makePixelBuffer(std::uint32_t width, std::uint32_t height) {
  PixelBuffer buffer{width, height, nullptr};
  buffer.pixels = static_cast<Pixel*>(memAlloc(pixelCount(buffer) * sizeof(Pixel)));
  return buffer;
}
