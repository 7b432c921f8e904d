#include "tools/pngwriter.h"

#include <algorithm>
#include <array>

namespace tools {
namespace {

constexpr std::uint8_t PngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint8_t PngBitDepth = 8;
constexpr std::uint8_t PngColourRgba = 6;
constexpr std::uint8_t PngFilterNone = 0;
constexpr std::size_t PngBytesPerPixel = 4;
constexpr std::size_t StoredBlockLimit = 65535; // largest stored deflate block
constexpr std::uint8_t ZlibMethod = 0x78;       // deflate, 32 KiB window
constexpr std::uint8_t ZlibFlags = 0x01;        // (0x7801 is a multiple of 31)
constexpr std::uint32_t CrcPolynomial = 0xEDB88320u;
constexpr std::uint32_t AdlerModulus = 65521;

void putBig32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}

void putChunk(std::vector<std::uint8_t>& out, const char type[4], const std::vector<std::uint8_t>& data) {
  putBig32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  putBig32(out, crc32(&out[start], out.size() - start));
}

// The zlib stream of `raw` in stored deflate blocks.
std::vector<std::uint8_t> storedZlib(const std::vector<std::uint8_t>& raw) {
  std::vector<std::uint8_t> z = {ZlibMethod, ZlibFlags};
  std::size_t at = 0;
  do {
    std::size_t n = std::min(StoredBlockLimit, raw.size() - at);
    bool last = at + n == raw.size();
    z.push_back(last ? 1 : 0); // BFINAL, BTYPE 00 (stored)
    z.insert(z.end(), {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n), std::uint8_t(~n >> 8)});
    z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    at += n;
  } while (at < raw.size());
  putBig32(z, adler32(raw.data(), raw.size()));
  return z;
}

} // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? CrcPolynomial ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t a = 1, b = 0;
  for (std::size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % AdlerModulus;
    b = (b + a) % AdlerModulus;
  }
  return (b << 16) | a;
}

std::vector<std::uint8_t> encodePng(std::uint32_t width, std::uint32_t height, const std::uint8_t* rgba) {
  std::vector<std::uint8_t> out(std::begin(PngSignature), std::end(PngSignature));
  std::vector<std::uint8_t> ihdr;
  putBig32(ihdr, width);
  putBig32(ihdr, height);
  ihdr.insert(ihdr.end(), {PngBitDepth, PngColourRgba, 0, 0, 0}); // deflate, adaptive filters, no interlace
  putChunk(out, "IHDR", ihdr);
  std::size_t rowBytes = std::size_t(width) * PngBytesPerPixel;
  std::vector<std::uint8_t> raw;
  raw.reserve((rowBytes + 1) * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    raw.push_back(PngFilterNone);
    raw.insert(raw.end(), rgba + y * rowBytes, rgba + (y + 1) * rowBytes);
  }
  putChunk(out, "IDAT", storedZlib(raw));
  putChunk(out, "IEND", {});
  return out;
}

} // namespace tools
