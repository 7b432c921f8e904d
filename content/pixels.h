#pragma once
// The picture every start-up image passes through on its way to a texture.
#include <cstddef>
#include <cstdint>

// Channel numbers of a pixel, in its memory order.
constexpr int ChannelRed = 0;
constexpr int ChannelGreen = 1;
constexpr int ChannelBlue = 2;
constexpr int ChannelSpare = 3; // 0 in decoded images and filter results; ignored on upload
constexpr int ChannelColourCount = 3;

struct Pixel {
  std::uint8_t channel[4]; // red, green, blue, spare
};
static_assert(sizeof(Pixel) == 4);

// Passed and returned by value. `pixels` holds width x height pixels, row by row, top
// row first, rows adjacent; it comes from memAlloc and belongs to whoever made the
// buffer (start-up content is never freed).
struct PixelBuffer {
  std::uint32_t width;
  std::uint32_t height;
  Pixel* pixels;
};

inline std::size_t pixelCount(const PixelBuffer& buffer) {
  return static_cast<std::size_t>(buffer.width) * buffer.height;
}

inline Pixel& pixelAt(const PixelBuffer& buffer, std::uint32_t x, std::uint32_t y) {
  return buffer.pixels[static_cast<std::size_t>(y) * buffer.width + x];
}

// A zero-filled (black) buffer of the given size in a new memAlloc block.
PixelBuffer makePixelBuffer(std::uint32_t width, std::uint32_t height);
