#pragma once
// Writes ZSoft PCX files (version 5, run-length coded, 8 bits per plane), the format the
// show embeds its pictures in.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

struct Rgb {
  std::uint8_t red, green, blue;
};
using PcxPalette = std::array<Rgb, 256>;

// A 256-colour image: `indices` holds evenWidth(width) x height bytes, row by row (the
// padding column of an odd width is stored like any other). Xmax is width - 1.
std::vector<std::uint8_t> encodeIndexedPcx(std::uint32_t width, std::uint32_t height,
                                           const std::vector<std::uint8_t>& indices, const PcxPalette& palette);

// A 24-bit image of three planes: `pixels` holds evenWidth(width) x height colours.
std::vector<std::uint8_t> encodeRgbPcx(std::uint32_t width, std::uint32_t height, const std::vector<Rgb>& pixels);

std::uint32_t evenWidth(std::uint32_t width);

// Writes `bytes` to `path`; false (with a message on stderr) if it cannot.
bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

} // namespace tools
