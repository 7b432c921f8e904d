#include "data/unpack.h"

#include "data/packmodel.h"

namespace {

constexpr int CodeShift = 24; // the coder emits its range's top byte when it settles
constexpr int ByteBits = 8;

std::uint32_t readSize(const unsigned char* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

struct BitDecoder {
  const unsigned char* next;
  const unsigned char* end;
  std::uint32_t low = 0, high = 0xFFFFFFFF, code = 0;

  std::uint32_t byte() { return next < end ? *next++ : 0; }
  // The range split must be the packer's own: low + (high - low) / 4096 x p.
  std::int32_t decode(std::int32_t p) {
    const std::uint32_t middle = low + ((high - low) >> PackProbabilityBits) * static_cast<std::uint32_t>(p);
    const std::int32_t bit = code <= middle;
    if (bit) high = middle;
    else low = middle + 1;
    while (((low ^ high) >> CodeShift) == 0) {
      low <<= ByteBits;
      high = (high << ByteBits) | 0xFF;
      code = (code << ByteBits) | byte();
    }
    return bit;
  }
};

} // namespace

int packedFileCount(const unsigned char* pack, std::size_t packBytes) {
  if (packBytes < 1 || packBytes < 1 + PackSizeBytes * pack[0]) return -1;
  return pack[0];
}

bool unpackFiles(const unsigned char* pack, std::size_t packBytes, const UnpackTarget* targets, int count) {
  if (packedFileCount(pack, packBytes) != count) return false;
  std::size_t total = 0;
  for (int i = 0; i < count; ++i) {
    if (readSize(pack + 1 + PackSizeBytes * i) != targets[i].size) return false;
    total += targets[i].size;
  }
  PackModel model;
  if (!openPackModel(model, total)) return false;
  BitDecoder decoder{pack + 1 + PackSizeBytes * count, pack + packBytes};
  for (std::size_t i = 0; i < PackSizeBytes; ++i) decoder.code = (decoder.code << ByteBits) | decoder.byte();
  for (int file = 0; file < count; ++file)
    for (std::size_t i = 0; i < targets[file].size; ++i) {
      std::uint32_t value = 0;
      for (int b = 0; b < ByteBits; ++b) {
        const std::int32_t bit = decoder.decode(packPrediction(model));
        learnPackBit(model, bit);
        value = (value << 1) | static_cast<std::uint32_t>(bit);
      }
      targets[file].bytes[i] = static_cast<unsigned char>(value);
    }
  closePackModel(model);
  return true;
}
