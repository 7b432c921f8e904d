#pragma once
// The texture recipes: integer enlargement with blur, and the radial glow.
#include <cstdint>

#include "content/pixels.h"

constexpr std::uint32_t GlowImageSize = 256; // the glow is GlowImageSize x GlowImageSize

// Enlarges `source` by whole factors to width x height (each source pixel becomes a block,
// spare byte included), then returns that blurred with FilterScatterBlur, in a new
// memAlloc block. The sizes must be whole multiples of the source's (64 -> 512 here).
PixelBuffer upscaleSoft(PixelBuffer source, std::uint32_t width, std::uint32_t height);

// A 256 x 256 radial gradient: 255 minus the distance from row/column 127, clamped to
// 0..255, in all four bytes of each pixel.
PixelBuffer makeGlowImage();
