#include "content/pcx.h"

#include <cstdint>

#include "content/heap.h"

namespace {

constexpr std::size_t PcxHeaderSize = 128;
constexpr std::size_t PcxXmaxOffset = 8;
constexpr std::size_t PcxYmaxOffset = 10;
constexpr std::size_t PcxPlanesOffset = 65;
constexpr std::uint8_t PcxRunFlags = 0xC0;  // both top bits set: a run count
constexpr std::uint8_t PcxRunCountMask = 0x3F;
constexpr std::size_t PcxPaletteMarkerSize = 1; // the byte before the palette (12), not examined
constexpr int PcxPlanesIndexed = 1;
constexpr int PcxPlanesRgb = 3;

// Reads the file a byte at a time; a read past the end gives 0 and ends the stream.
struct ByteStream {
  const unsigned char* file;
  std::size_t size;
  std::size_t position;

  bool atEnd() const { return position >= size; }
  std::uint8_t byteAt(std::size_t offset) const { return offset < size ? file[offset] : 0; }
};

unsigned readWord(const ByteStream& stream, std::size_t offset) {
  return stream.byteAt(offset) | (stream.byteAt(offset + 1) << 8);
}

// One run-length code: `count` copies of `value`. False at the end of the file.
bool readRun(ByteStream& stream, unsigned& count, std::uint8_t& value) {
  if (stream.atEnd()) return false;
  std::uint8_t code = stream.file[stream.position++];
  if ((code & PcxRunFlags) != PcxRunFlags) {
    count = 1;
    value = code;
    return true;
  }
  if (stream.atEnd()) return false; // a count with no value byte
  count = code & PcxRunCountMask;
  value = stream.file[stream.position++];
  return true;
}

// Decodes `needed` indices as one stream (runs carry on across rows) and maps them through
// the palette that follows. Runs overshooting the end are cut.
void decodeIndexed(ByteStream& stream, const PixelBuffer& image) {
  std::size_t needed = pixelCount(image);
  auto* indices = static_cast<std::uint8_t*>(memAlloc(needed));
  if (!indices) return; // the heap is exhausted: the picture stays black
  std::size_t produced = 0;
  unsigned count = 0;
  std::uint8_t value = 0;
  while (produced < needed && readRun(stream, count, value)) {
    for (unsigned i = 0; i < count && produced < needed; ++i) indices[produced++] = value;
  }
  std::size_t palette = stream.position + PcxPaletteMarkerSize;
  for (std::size_t i = 0; i < produced; ++i) {
    std::size_t entry = palette + static_cast<std::size_t>(indices[i]) * ChannelColourCount;
    Pixel& pixel = image.pixels[i];
    for (int ch = 0; ch < ChannelColourCount; ++ch) pixel.channel[ch] = stream.byteAt(entry + ch);
  }
  memFree(indices);
}

// Per row: a red, a green and a blue plane of `width` values each. A run reaching past
// a plane's end has its excess dropped; the next plane starts at the next code.
void decodeRgb(ByteStream& stream, const PixelBuffer& image) {
  unsigned count = 0;
  std::uint8_t value = 0;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    Pixel* row = &pixelAt(image, 0, y);
    for (int plane = 0; plane < PcxPlanesRgb; ++plane) {
      std::uint32_t produced = 0;
      while (produced < image.width && readRun(stream, count, value)) {
        for (unsigned i = 0; i < count && produced < image.width; ++i) {
          row[produced++].channel[plane] = value;
        }
      }
    }
  }
}

} // namespace

PixelBuffer decodePcx(const unsigned char* file, std::size_t size) {
  ByteStream stream{file, size, PcxHeaderSize};
  std::uint32_t width = readWord(stream, PcxXmaxOffset) + 1;
  width += width & 1; // rows always hold an even number of pixels
  std::uint32_t height = readWord(stream, PcxYmaxOffset) + 1;
  PixelBuffer image = makePixelBuffer(width, height);
  // A header may declare up to 65536 x 65536 pixels (16 GB); when the heap cannot hold
  // them the result is an empty picture rather than writes through a null block.
  if (!image.pixels) return PixelBuffer{0, 0, nullptr};
  switch (stream.byteAt(PcxPlanesOffset)) {
    case PcxPlanesIndexed: decodeIndexed(stream, image); break;
    case PcxPlanesRgb: decodeRgb(stream, image); break;
    default: break; // unknown layout: stays black
  }
  return image;
}
