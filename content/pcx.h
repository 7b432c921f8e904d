#pragma once
// Decoding of the embedded ZSoft PCX images (run-length coded, 8 bits per plane).
#include <cstddef>

#include "content/pixels.h"

// Decodes the PCX file of `size` bytes at `file` into a new pixel buffer (spare bytes 0).
// Width is Xmax + 1 rounded up to even, height Ymax + 1. One plane: indices through the
// 256-colour palette that follows the image data; three planes: red, green, blue planes
// per row; any other plane count: all black. Never fails and never reads past `size`:
// pixels the data does not reach stay black, palette entries past the end read as black.
// When the heap cannot hold the declared size the result is 0 x 0 with no pixels.
PixelBuffer decodePcx(const unsigned char* file, std::size_t size);
