#include "tools/packer.h"

#include <cstdint>

#include "data/packmodel.h"
#include "data/unpack.h"

namespace {

constexpr int CodeShift = 24;
constexpr int ByteBits = 8;

struct BitEncoder {
  PackBytes& out;
  std::uint32_t low = 0, high = 0xFFFFFFFF;

  // The same split as the unpacker's BitDecoder::decode.
  void encode(std::int32_t bit, std::int32_t p) {
    const std::uint32_t middle = low + ((high - low) >> PackProbabilityBits) * static_cast<std::uint32_t>(p);
    if (bit) high = middle;
    else low = middle + 1;
    while (((low ^ high) >> CodeShift) == 0) {
      out.push_back(static_cast<unsigned char>(high >> CodeShift));
      low <<= ByteBits;
      high = (high << ByteBits) | 0xFF;
    }
  }
  // Enough of low that any zero bytes the decoder reads after it stay within the range.
  void finish() {
    for (; low != 0; low <<= ByteBits) out.push_back(static_cast<unsigned char>(low >> CodeShift));
  }
};

} // namespace

PackBytes packFiles(const std::vector<PackBytes>& files) {
  PackBytes pack;
  pack.push_back(static_cast<unsigned char>(files.size()));
  for (const PackBytes& file : files)
    for (std::size_t i = 0; i < PackSizeBytes; ++i) pack.push_back(static_cast<unsigned char>(file.size() >> (ByteBits * i)));
  std::size_t total = 0;
  for (const PackBytes& file : files) total += file.size();
  PackModel model;
  if (!openPackModel(model, total)) return {};
  BitEncoder encoder{pack};
  for (const PackBytes& file : files)
    for (unsigned char value : file)
      for (int b = ByteBits - 1; b >= 0; --b) {
        const std::int32_t bit = (value >> b) & 1;
        encoder.encode(bit, packPrediction(model));
        learnPackBit(model, bit);
      }
  encoder.finish();
  closePackModel(model);
  return pack;
}
