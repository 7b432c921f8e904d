// The span drawers: the inner loops of the rasterizer. The combinations the show draws
// (texture or diffuse, modulated or added, replacing or added to the target, with or
// without the usual depth test, affine power-of-two textures) get loops specialised at
// compile time; everything else goes through one general loop that decides per pixel.
#include "platform/port/rasterspan.h"
#include "platform/port/rastercolor.h"

#include <algorithm>
#include <cmath>

namespace raster::detail {
namespace {

constexpr std::uint32_t OpaqueWhite = 0xFFFFFFFF;
constexpr double SubTexelScale = 1 << SubTexelBits;
constexpr double TexelLimit = double(std::int64_t(1) << 50);

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int log2Exact(int n) {
  int shift = 0;
  while ((1 << shift) < n) ++shift;
  return shift;
}

std::uint32_t diffuseAt(const Span& span, int i) {
  auto at = [&](int c) {
    std::int64_t v = (span.diffuse[c] + span.diffuseStep[c] * i) >> FixedBits;
    return std::uint32_t(std::clamp<std::int64_t>(v, 0, ChannelMax));
  };
  return at(0) << 24 | at(1) << 16 | at(2) << 8 | at(3);
}

// --- Specialised loops -------------------------------------------------------------

enum class Shade { Diffuse, Texture, Modulate, Add };
enum class Output { Replace, Add };

// The attributes of a run, stepped one pixel at a time.
template <bool Gouraud>
struct Walker {
  Walker(const Span& span, const DrawContext& context)
      : span(span), texture(context.state->texture), widthMask(context.widthMask), heightMask(context.heightMask),
        widthShift(context.widthShift), s(span.s), t(span.t),
        z(span.z), r(span.diffuse[1]), g(span.diffuse[2]), b(span.diffuse[3]), constantDiffuse(context.constantDiffuse) {}

  std::uint32_t nextTexel() { // power-of-two sizes: wrapping is a mask
    std::uint32_t column = std::uint32_t(s >> FixedBits) & widthMask;
    std::uint32_t line = std::uint32_t(t >> FixedBits) & heightMask;
    s += span.sStep;
    t += span.tStep;
    return texture.texels[(line << widthShift) | column];
  }
  std::uint32_t nextDiffuse() {
    if constexpr (!Gouraud) return constantDiffuse;
    std::uint32_t d = packRgb(clampChannel(r >> FixedBits), clampChannel(g >> FixedBits), clampChannel(b >> FixedBits));
    r += span.diffuseStep[1];
    g += span.diffuseStep[2];
    b += span.diffuseStep[3];
    return d;
  }
  std::uint16_t nextDepth() {
    std::uint16_t value = std::uint16_t(z >> FixedBits);
    z += span.zStep;
    return value;
  }
#if defined(__SSE2__)
  // The next four Gouraud colours at once, exactly as nextDiffuse would give them.
  __m128i nextDiffuseBlock() {
    const __m128i zero = _mm_setzero_si128();
    auto lanes = [](std::int64_t& v, std::int64_t step) { // 16.16 lanes, then whole units
      constexpr int Narrow = FixedBits - 16;
      __m128i x = _mm_set_epi32(int((v + 3 * step) >> Narrow), int((v + 2 * step) >> Narrow),
                                int((v + step) >> Narrow), int(v >> Narrow));
      v += 4 * step;
      return _mm_srai_epi32(x, 16);
    };
    __m128i red = lanes(r, span.diffuseStep[1]), green = lanes(g, span.diffuseStep[2]);
    __m128i blue = lanes(b, span.diffuseStep[3]);
    __m128i blueGreen = _mm_packs_epi32(blue, green);                                  // b0..b3 g0..g3
    __m128i pairs = _mm_unpacklo_epi16(blueGreen, _mm_srli_si128(blueGreen, 8));        // b0 g0 b1 g1 ..
    __m128i reds = _mm_unpacklo_epi16(_mm_packs_epi32(red, zero), zero);                // r0 0 r1 0 ..
    return _mm_packus_epi16(_mm_unpacklo_epi32(pairs, reds), _mm_unpackhi_epi32(pairs, reds)); // saturated
  }
#endif

  const Span& span;
  const TextureView& texture;
  const std::uint32_t widthMask, heightMask;
  const int widthShift;
  std::int64_t s, t, z, r, g, b;
  const std::uint32_t constantDiffuse;
};

template <Shade S>
std::uint32_t shadePixel(std::uint32_t texel, std::uint32_t diffuse) {
  if constexpr (S == Shade::Diffuse) return diffuse;
  else if constexpr (S == Shade::Texture) return texel;
  else if constexpr (S == Shade::Modulate) return modulateRgb(texel, diffuse);
  else return addSaturateRgb(texel, diffuse);
}

#if defined(__SSE2__)
constexpr int Block = 4; // pixels per SIMD step

// Shades, depth-tests and writes pixels i to i + 3: texels and diffuse colours as four
// ARGB lanes, incoming depths in the low four 16-bit lanes.
template <Shade S, Output O, bool Depth>
[[gnu::always_inline]] inline void writeBlock(std::uint32_t* pixels, std::uint16_t* depth, __m128i texel, __m128i colour,
                                              __m128i incoming) {
  const __m128i zero = _mm_setzero_si128();
  __m128i source;
  if constexpr (S == Shade::Diffuse) source = colour;
  else if constexpr (S == Shade::Texture) source = texel;
  else if constexpr (S == Shade::Add) source = _mm_adds_epu8(texel, colour);
  else {
    const __m128i roundHalf = _mm_set1_epi16(128);
    auto half = [&](__m128i a, __m128i b) { // round(a * b / 255) on 16-bit lanes
      __m128i x = _mm_add_epi16(_mm_mullo_epi16(a, b), roundHalf);
      return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
    };
    source = _mm_packus_epi16(half(_mm_unpacklo_epi8(texel, zero), _mm_unpacklo_epi8(colour, zero)),
                              half(_mm_unpackhi_epi8(texel, zero), _mm_unpackhi_epi8(colour, zero)));
  }
  __m128i* out = reinterpret_cast<__m128i*>(pixels);
  __m128i target = _mm_loadu_si128(out);
  __m128i result = O == Output::Replace ? source : _mm_adds_epu8(target, source);
  result = _mm_and_si128(result, _mm_set1_epi32(int(RgbMask)));
  if constexpr (Depth) {
    const __m128i signBits = _mm_set1_epi16(std::int16_t(0x8000));
    __m128i stored = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(depth));
    // Unsigned incoming > stored, through the signed compare with the sign bits flipped.
    __m128i fails = _mm_cmpgt_epi16(_mm_xor_si128(incoming, signBits), _mm_xor_si128(stored, signBits));
    __m128i kept = _mm_or_si128(_mm_and_si128(fails, stored), _mm_andnot_si128(fails, incoming));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(depth), kept);
    __m128i fails32 = _mm_unpacklo_epi16(fails, fails);
    result = _mm_or_si128(_mm_and_si128(fails32, target), _mm_andnot_si128(fails32, result));
  }
  _mm_storeu_si128(out, result);
}

// Four pixels at a time, every attribute stepped per pixel. Returns the pixels done.
template <Shade S, bool Gouraud, Output O, bool Depth>
int fastBlocks(const Span& span, Walker<Gouraud>& walk) {
  int i = 0;
  for (; i + Block <= span.count; i += Block) {
    alignas(16) std::uint32_t texels[Block] = {};
    alignas(16) std::uint16_t depths[Block * 2] = {};
#pragma GCC unroll 4
    for (int k = 0; k < Block; ++k) {
      if constexpr (S != Shade::Diffuse) texels[k] = walk.nextTexel();
      if constexpr (Depth) depths[k] = walk.nextDepth();
    }
    __m128i colour;
    if constexpr (Gouraud) colour = walk.nextDiffuseBlock();
    else colour = _mm_set1_epi32(int(walk.constantDiffuse));
    writeBlock<S, O, Depth>(span.color + i, Depth ? span.depth + i : nullptr,
                            _mm_load_si128(reinterpret_cast<const __m128i*>(texels)), colour,
                            _mm_load_si128(reinterpret_cast<const __m128i*>(depths)));
  }
  return i;
}

// The 2D case of every overlay: one texel row, one colour and one depth for the whole
// run; only u moves. Returns the pixels done.
template <Shade S, Output O, bool Depth>
int flatBlocks(const Span& span, Walker<false>& walk) {
  const std::uint32_t* row = walk.texture.texels;
  if constexpr (S != Shade::Diffuse)
    row += (std::uint32_t(walk.t >> FixedBits) & walk.heightMask) << walk.widthShift;
  const __m128i colour = _mm_set1_epi32(int(walk.constantDiffuse));
  const __m128i incoming = _mm_set1_epi16(std::int16_t(walk.z >> FixedBits));
  int i = 0;
  for (; i + Block <= span.count; i += Block) {
    alignas(16) std::uint32_t texels[Block] = {};
    if constexpr (S != Shade::Diffuse) {
#pragma GCC unroll 4
      for (int k = 0; k < Block; ++k) {
        texels[k] = row[std::uint32_t(walk.s >> FixedBits) & walk.widthMask];
        walk.s += span.sStep;
      }
    }
    writeBlock<S, O, Depth>(span.color + i, Depth ? span.depth + i : nullptr,
                            _mm_load_si128(reinterpret_cast<const __m128i*>(texels)), colour, incoming);
  }
  return i;
}
#endif

template <Shade S, bool Gouraud, Output O, bool Depth>
void fastSpan(const Span& span, const DrawContext& context) {
  Walker<Gouraud> walk(span, context);
  int i = 0;
#if defined(__SSE2__)
  bool flat = !Gouraud && span.tStep == 0 && (!Depth || span.zStep == 0);
  if constexpr (!Gouraud) {
    if (flat) i = flatBlocks<S, O, Depth>(span, walk);
  }
  if (!flat) i = fastBlocks<S, Gouraud, O, Depth>(span, walk);
#endif
  for (; i < span.count; ++i) { // the last pixels, or all without SIMD
    std::uint32_t texel = 0;
    if constexpr (S != Shade::Diffuse) texel = walk.nextTexel();
    std::uint32_t diffuse = walk.nextDiffuse();
    if constexpr (Depth) {
      std::uint16_t depthValue = walk.nextDepth();
      if (depthValue > span.depth[i]) continue;
      span.depth[i] = depthValue;
    }
    std::uint32_t source = shadePixel<S>(texel, diffuse);
    span.color[i] = O == Output::Replace ? source & RgbMask : addSaturateRgb(span.color[i], source);
  }
}

template <Shade S, bool Gouraud, Output O>
SpanDrawer pickDepth(bool depth) {
  return depth ? fastSpan<S, Gouraud, O, true> : fastSpan<S, Gouraud, O, false>;
}

template <Shade S, bool Gouraud>
SpanDrawer pickOutput(Output output, bool depth) {
  return output == Output::Replace ? pickDepth<S, Gouraud, Output::Replace>(depth)
                                   : pickDepth<S, Gouraud, Output::Add>(depth);
}

template <Shade S>
SpanDrawer pickShading(bool gouraud, Output output, bool depth) {
  return gouraud ? pickOutput<S, true>(output, depth) : pickOutput<S, false>(output, depth);
}

bool plain(const ColorArg& arg, ArgSource source) {
  return arg.source == source && !arg.complement && !arg.alphaReplicate;
}

// The specialised shading for this state, if there is one.
bool fastShade(const DrawContext& context, Shade& shade) {
  const RasterState& st = *context.state;
  bool tex1 = plain(st.arg1, ArgSource::Texture), tex2 = plain(st.arg2, ArgSource::Texture);
  bool dif1 = plain(st.arg1, ArgSource::Diffuse), dif2 = plain(st.arg2, ArgSource::Diffuse);
  bool texturePair = (tex1 && dif2) || (dif1 && tex2);
  switch (st.op) {
  case ColorOp::SelectArg1:
    if (dif1) return shade = Shade::Diffuse, true;
    if (tex1 && context.textured) return shade = Shade::Texture, true;
    return false;
  case ColorOp::SelectArg2:
    if (dif2) return shade = Shade::Diffuse, true;
    if (tex2 && context.textured) return shade = Shade::Texture, true;
    return false;
  case ColorOp::Modulate:
    if (texturePair && context.textured) return shade = Shade::Modulate, true;
    return false;
  case ColorOp::Add:
    if (texturePair && context.textured) return shade = Shade::Add, true;
    return false;
  default:
    return false;
  }
}

bool fastOutput(const RasterState& st, Output& output) {
  if (!st.blendEnabled) return output = Output::Replace, true;
  if (st.srcBlend != BlendFactor::One) return false;
  if (st.destBlend == BlendFactor::Zero) return output = Output::Replace, true;
  if (st.destBlend == BlendFactor::One) return output = Output::Add, true;
  return false;
}

// --- The general loop ----------------------------------------------------------------

std::int64_t wrapTexel(std::int64_t index, int size) {
  if (isPowerOfTwo(size)) return index & (size - 1);
  std::int64_t wrapped = index % size;
  return wrapped < 0 ? wrapped + size : wrapped;
}

std::uint32_t sampleAt(const Span& span, const TextureView& texture, bool perspective, int i) {
  std::int64_t s, t;
  if (perspective) {
    double q = span.q + span.qStep * i;
    double u = (span.uq + span.uqStep * i) / q, v = (span.vq + span.vqStep * i) / q;
    auto snapTexel = [](double coordinate) {
      double snapped = std::nearbyint(std::clamp(coordinate * SubTexelScale, -TexelLimit, TexelLimit));
      return std::int64_t(snapped) >> SubTexelBits;
    };
    s = snapTexel(u * texture.width);
    t = snapTexel(v * texture.height);
  } else {
    s = (span.s + span.sStep * i) >> FixedBits;
    t = (span.t + span.tStep * i) >> FixedBits;
  }
  return texture.texels[wrapTexel(t, texture.height) * texture.width + wrapTexel(s, texture.width)];
}

bool depthPasses(DepthFunc func, std::uint16_t incoming, std::uint16_t stored) {
  switch (func) {
  case DepthFunc::Never: return false;
  case DepthFunc::Less: return incoming < stored;
  case DepthFunc::Equal: return incoming == stored;
  case DepthFunc::LessEqual: return incoming <= stored;
  case DepthFunc::Greater: return incoming > stored;
  case DepthFunc::NotEqual: return incoming != stored;
  case DepthFunc::GreaterEqual: return incoming >= stored;
  case DepthFunc::Always: return true;
  }
  return true;
}

template <bool Gouraud, bool Perspective>
void generalSpan(const Span& span, const DrawContext& context) {
  const RasterState& st = *context.state;
  for (int i = 0; i < span.count; ++i) {
    std::uint16_t depthValue = 0;
    if (context.depthActive) {
      depthValue = std::uint16_t((span.z + span.zStep * i) >> FixedBits);
      if (!depthPasses(st.depthFunc, depthValue, span.depth[i])) continue;
    }
    std::uint32_t texel = context.textured ? sampleAt(span, st.texture, Perspective, i) : OpaqueWhite;
    std::uint32_t diffuse = Gouraud ? diffuseAt(span, i) : context.constantDiffuse;
    std::uint32_t source = combine(st, diffuse, texel);
    std::uint32_t target = span.color[i];
    span.color[i] = st.blendEnabled ? blend(st.srcBlend, st.destBlend, source, target) : source & RgbMask;
    if (context.depthActive && st.depthWrite) span.depth[i] = depthValue;
  }
}

} // namespace

void describeTexture(DrawContext& context) {
  const TextureView& texture = context.state->texture;
  context.widthMask = std::uint32_t(texture.width - 1);
  context.heightMask = std::uint32_t(texture.height - 1);
  context.widthShift = log2Exact(texture.width);
}

SpanDrawer chooseSpanDrawer(const DrawContext& context, TriangleKind kind) {
  const RasterState& st = *context.state;
  Shade shade;
  Output output;
  bool fastTexture = !context.textured ||
                     (!kind.perspective && isPowerOfTwo(st.texture.width) && isPowerOfTwo(st.texture.height));
  bool fastDepth = !context.depthActive || (st.depthFunc == DepthFunc::LessEqual && st.depthWrite);
  if (fastTexture && fastDepth && fastShade(context, shade) && fastOutput(st, output)) {
    bool depth = context.depthActive;
    switch (shade) {
    case Shade::Diffuse: return pickShading<Shade::Diffuse>(kind.gouraud, output, depth);
    case Shade::Texture: return pickOutput<Shade::Texture, false>(output, depth);
    case Shade::Modulate: return pickShading<Shade::Modulate>(kind.gouraud, output, depth);
    case Shade::Add: return pickShading<Shade::Add>(kind.gouraud, output, depth);
    }
  }
  if (kind.gouraud) return kind.perspective ? generalSpan<true, true> : generalSpan<true, false>;
  return kind.perspective ? generalSpan<false, true> : generalSpan<false, false>;
}

} // namespace raster::detail
