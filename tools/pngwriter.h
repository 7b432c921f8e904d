#pragma once
// A minimal PNG writer for looking at generated pictures: 8-bit RGBA, no filtering,
// stored (uncompressed) deflate blocks. No dependency beyond the standard library.
#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// `rgba` holds width x height pixels of four bytes (red, green, blue, alpha), top row first.
std::vector<std::uint8_t> encodePng(std::uint32_t width, std::uint32_t height, const std::uint8_t* rgba);

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t adler32(const std::uint8_t* data, std::size_t size);

} // namespace tools
