// The PCX decoder on any bytes of any length: it never reads past the size it is given
// (the address sanitizer sees the input's exact end) and always returns a whole buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "content/heap.h"
#include "content/pcx.h"

namespace {
// A header may declare up to 65536 x 65536 pixels: 16 GB of black that takes the heap
// and no reading (a refusing heap is a content test). Fuzzing is about what the decoder
// reads, so headers larger than about eight times the largest embedded image (912 x 37) are
// passed over: decoding them only fills memory, slowly.
constexpr std::size_t LargestPicture = std::size_t(1) << 18;

std::size_t declaredPixels(const std::uint8_t* data, std::size_t size) {
  auto byte = [&](std::size_t i) { return i < size ? std::size_t(data[i]) : 0; };
  std::size_t width = (byte(8) | byte(9) << 8) + 1, height = (byte(10) | byte(11) << 8) + 1;
  return (width + (width & 1)) * height;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (declaredPixels(data, size) > LargestPicture) return 0;
  // A copy of exactly `size` bytes, so that a read past the end is a heap overflow.
  std::unique_ptr<unsigned char[]> file(new unsigned char[size ? size : 1]);
  if (size) std::memcpy(file.get(), data, size);
  PixelBuffer picture = decodePcx(file.get(), size);
  std::size_t pixels = pixelCount(picture);
  if (pixels && !picture.pixels) std::abort();
  unsigned sum = 0;
  for (std::size_t i = 0; i < pixels; ++i) sum += picture.pixels[i].channel[ChannelSpare];
  if (sum != 0) std::abort(); // the spare channel of a decoded image is 0
  memFree(picture.pixels);
  return 0;
}
