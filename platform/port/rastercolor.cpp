#include "platform/port/rastercolor.h"

#include <algorithm>

namespace raster::detail {
namespace {

constexpr std::uint32_t SignedBias = 128; // 0.5 in the signed additions

std::uint32_t channelOf(std::uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

std::uint32_t argument(const ColorArg& arg, const RasterState& state, std::uint32_t diffuse, std::uint32_t texel) {
  std::uint32_t value = 0;
  switch (arg.source) {
  case ArgSource::Diffuse: value = diffuse; break;
  case ArgSource::Texture: value = state.texture.opaque ? texel | 0xFF000000u : texel; break;
  case ArgSource::Factor: value = state.textureFactor; break;
  case ArgSource::Zero: value = 0; break;
  }
  if (arg.alphaReplicate) value = (value >> 24) * 0x01010101u;
  if (arg.complement) value = ~value;
  return value;
}

std::uint32_t combineChannel(ColorOp op, std::uint32_t a, std::uint32_t b) {
  std::int64_t x = 0;
  switch (op) {
  case ColorOp::SelectArg1: x = a; break;
  case ColorOp::SelectArg2: x = b; break;
  case ColorOp::Modulate: x = multiplyChannel(a, b); break;
  case ColorOp::Modulate2x: x = 2 * std::int64_t(multiplyChannel(a, b)); break;
  case ColorOp::Modulate4x: x = 4 * std::int64_t(multiplyChannel(a, b)); break;
  case ColorOp::Add: x = std::int64_t(a) + b; break;
  case ColorOp::AddSigned: x = std::int64_t(a) + b - SignedBias; break;
  case ColorOp::AddSigned2x: x = 2 * (std::int64_t(a) + b - SignedBias); break;
  case ColorOp::Subtract: x = std::int64_t(a) - b; break;
  case ColorOp::AddSmooth: x = std::int64_t(a) + multiplyChannel(ChannelMax - a, b); break;
  }
  return clampChannel(x);
}

std::uint32_t factorChannel(BlendFactor factor, std::uint32_t source, std::uint32_t target) {
  switch (factor) {
  case BlendFactor::Zero: return 0;
  case BlendFactor::One: return ChannelMax;
  case BlendFactor::SrcColor: return source;
  case BlendFactor::InvSrcColor: return ChannelMax - source;
  case BlendFactor::DestColor: return target;
  case BlendFactor::InvDestColor: return ChannelMax - target;
  }
  return ChannelMax;
}

} // namespace

std::uint32_t combine(const RasterState& state, std::uint32_t diffuse, std::uint32_t texel) {
  std::uint32_t a = argument(state.arg1, state, diffuse, texel);
  std::uint32_t b = argument(state.arg2, state, diffuse, texel);
  std::uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    result |= combineChannel(state.op, channelOf(a, shift), channelOf(b, shift)) << shift;
  return result;
}

std::uint32_t blend(BlendFactor srcFactor, BlendFactor destFactor, std::uint32_t source, std::uint32_t target) {
  std::uint32_t result = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    std::uint32_t s = channelOf(source, shift), d = channelOf(target, shift);
    std::uint32_t sum = multiplyChannel(s, factorChannel(srcFactor, s, d)) +
                        multiplyChannel(d, factorChannel(destFactor, s, d));
    result |= std::min<std::uint32_t>(sum, ChannelMax) << shift;
  }
  return result;
}

} // namespace raster::detail
