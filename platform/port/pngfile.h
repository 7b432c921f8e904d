#pragma once
// PNG files through libpng: 8-bit RGB, compressed. Written by the capture (its frames)
// and by the asset tool; read back by tests and by anyone checking a recording.
#include <cstdint>
#include <string>
#include <vector>

namespace port {

// The byte order of a 32-bit pixel in memory; the fourth byte is not stored.
enum class PixelBytes {
  Bgrx, // the device's X8R8G8B8 on a little-endian machine
  Rgbx, // red first (the content's pixel buffers)
};

struct PngPicture {
  const std::uint8_t* bytes = nullptr; // top row first
  int width = 0;
  int height = 0;
  std::size_t rowBytes = 0;            // distance from one row to the next
  PixelBytes order = PixelBytes::Bgrx;
};

// zlib's levels: 1 is fastest, 9 smallest. The capture's frames use the fast one.
constexpr int PngFastLevel = 1;
constexpr int PngSmallLevel = 9;

// Writes `picture` to `path` (created or replaced). Empty on success, else what went
// wrong (the file is removed then).
std::string writePngFile(const std::string& path, const PngPicture& picture, int level = PngFastLevel);

// A PNG read back as X8R8G8B8 pixels (the fourth byte 0), tightly packed rows.
struct PngPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
};
// Empty on success, else what went wrong.
std::string readPngFile(const std::string& path, PngPixels& out);

} // namespace port
