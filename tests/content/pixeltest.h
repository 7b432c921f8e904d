#pragma once
// Helpers for the content tests: pixel buffers that free themselves, and PCX bytes.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "content/heap.h"
#include "content/pixels.h"

// Takes ownership of a buffer's memAlloc block.
struct OwnedPixels {
  PixelBuffer buffer;
  explicit OwnedPixels(PixelBuffer b) : buffer(b) {}
  OwnedPixels(std::uint32_t width, std::uint32_t height) : buffer(makePixelBuffer(width, height)) {}
  ~OwnedPixels() { memFree(buffer.pixels); }
  OwnedPixels(const OwnedPixels&) = delete;
  OwnedPixels& operator=(const OwnedPixels&) = delete;

  Pixel& at(std::uint32_t x, std::uint32_t y) const { return pixelAt(buffer, x, y); }
  int channel(std::uint32_t x, std::uint32_t y, int ch) const { return at(x, y).channel[ch]; }
  void fill(std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
    for (std::size_t i = 0; i < pixelCount(buffer); ++i) buffer.pixels[i] = Pixel{{r, g, b, 0}};
  }
};

// A 128-byte PCX header with only the fields the decoder reads set (and the usual magic).
inline std::vector<std::uint8_t> pcxHeader(unsigned xmax, unsigned ymax, unsigned planes) {
  std::vector<std::uint8_t> h(128, 0);
  h[0] = 10;
  h[1] = 5;
  h[2] = 1;
  h[3] = 8;
  h[8] = std::uint8_t(xmax);
  h[9] = std::uint8_t(xmax >> 8);
  h[10] = std::uint8_t(ymax);
  h[11] = std::uint8_t(ymax >> 8);
  h[65] = std::uint8_t(planes);
  return h;
}

inline void append(std::vector<std::uint8_t>& bytes, std::initializer_list<int> more) {
  for (int b : more) bytes.push_back(std::uint8_t(b));
}
