#include "tools/pcxwriter.h"

#include <cstdio>

namespace tools {
namespace {

constexpr std::size_t PcxHeaderSize = 128;
constexpr std::uint8_t PcxManufacturer = 10;
constexpr std::uint8_t PcxVersion = 5;
constexpr std::uint8_t PcxEncodingRle = 1;
constexpr std::uint8_t PcxBitsPerPlane = 8;
constexpr std::uint16_t PcxDotsPerInch = 72;
constexpr std::uint8_t PcxPaletteInfoColour = 1;
constexpr std::uint8_t PcxRunFlags = 0xC0;
constexpr std::uint8_t PcxRunLimit = 63;
constexpr std::uint8_t PcxPaletteMarker = 12;

void putWord(std::vector<std::uint8_t>& out, std::size_t offset, std::uint16_t value) {
  out[offset] = static_cast<std::uint8_t>(value);
  out[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::vector<std::uint8_t> header(std::uint32_t width, std::uint32_t height, std::uint8_t planes) {
  std::vector<std::uint8_t> out(PcxHeaderSize, 0);
  out[0] = PcxManufacturer;
  out[1] = PcxVersion;
  out[2] = PcxEncodingRle;
  out[3] = PcxBitsPerPlane;
  putWord(out, 8, static_cast<std::uint16_t>(width - 1));   // Xmax (Xmin, Ymin 0)
  putWord(out, 10, static_cast<std::uint16_t>(height - 1)); // Ymax
  putWord(out, 12, PcxDotsPerInch);
  putWord(out, 14, PcxDotsPerInch);
  out[65] = planes;
  putWord(out, 66, static_cast<std::uint16_t>(evenWidth(width))); // BytesPerLine
  putWord(out, 68, PcxPaletteInfoColour);
  return out;
}

// Run-length codes one scan line of one plane; runs never cross lines.
void encodeLine(std::vector<std::uint8_t>& out, const std::uint8_t* line, std::size_t length) {
  std::size_t i = 0;
  while (i < length) {
    std::uint8_t value = line[i];
    std::size_t run = 1;
    while (i + run < length && line[i + run] == value && run < PcxRunLimit) ++run;
    if (run > 1 || (value & PcxRunFlags) == PcxRunFlags) out.push_back(static_cast<std::uint8_t>(PcxRunFlags | run));
    out.push_back(value);
    i += run;
  }
}

} // namespace

std::uint32_t evenWidth(std::uint32_t width) { return width + (width & 1); }

std::vector<std::uint8_t> encodeIndexedPcx(std::uint32_t width, std::uint32_t height,
                                           const std::vector<std::uint8_t>& indices, const PcxPalette& palette) {
  std::vector<std::uint8_t> out = header(width, height, 1);
  std::uint32_t line = evenWidth(width);
  for (std::uint32_t y = 0; y < height; ++y) encodeLine(out, &indices[std::size_t(y) * line], line);
  out.push_back(PcxPaletteMarker);
  for (const Rgb& c : palette) out.insert(out.end(), {c.red, c.green, c.blue});
  return out;
}

std::vector<std::uint8_t> encodeRgbPcx(std::uint32_t width, std::uint32_t height, const std::vector<Rgb>& pixels) {
  std::vector<std::uint8_t> out = header(width, height, 3);
  std::uint32_t line = evenWidth(width);
  std::vector<std::uint8_t> plane(line);
  for (std::uint32_t y = 0; y < height; ++y) {
    const Rgb* row = &pixels[std::size_t(y) * line];
    for (std::uint8_t Rgb::*channel : {&Rgb::red, &Rgb::green, &Rgb::blue}) {
      for (std::uint32_t x = 0; x < line; ++x) plane[x] = row[x].*channel;
      encodeLine(out, plane.data(), line);
    }
  }
  return out;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return ok;
}

} // namespace tools
