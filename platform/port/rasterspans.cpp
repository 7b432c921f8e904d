// The span drawers: the inner loops of the rasterizer. The combinations the show draws
// (texture or diffuse, modulated or added, replacing or added to the target, with or
// without the usual depth test, affine power-of-two textures) get loops specialised at
// compile time; everything else goes through one general loop that decides per pixel.
#include "platform/port/rasterpixels.h"

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

#if defined(__SSE2__)
constexpr int Block = 4; // pixels per SIMD step

// The stage result of four pixels from texels and diffuse colours in ARGB lanes.
template <Shade S>
[[gnu::always_inline]] inline __m128i shadeSource(__m128i texel, __m128i colour) {
  const __m128i zero = _mm_setzero_si128();
  if constexpr (S == Shade::Diffuse) return colour;
  else if constexpr (S == Shade::Texture) return texel;
  else if constexpr (S == Shade::Add) return _mm_adds_epu8(texel, colour);
  else {
    const __m128i roundHalf = _mm_set1_epi16(128);
    auto half = [&](__m128i a, __m128i b) { // round(a * b / 255) on 16-bit lanes
      __m128i x = _mm_add_epi16(_mm_mullo_epi16(a, b), roundHalf);
      return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
    };
    return _mm_packus_epi16(half(_mm_unpacklo_epi8(texel, zero), _mm_unpacklo_epi8(colour, zero)),
                            half(_mm_unpackhi_epi8(texel, zero), _mm_unpackhi_epi8(colour, zero)));
  }
}

// What the pixels become from their stage result and their current colours.
template <Output O>
[[gnu::always_inline]] inline __m128i outputOf(__m128i source, __m128i target) {
  __m128i result = O == Output::Replace ? source : _mm_adds_epu8(target, source);
  return _mm_and_si128(result, _mm_set1_epi32(int(RgbMask)));
}

// LESSEQUAL on D16 values in the low four 16-bit lanes: all ones where incoming > stored
// (unsigned, through the signed compare with the sign bits flipped).
inline __m128i depthFails(__m128i incoming, __m128i stored) {
  const __m128i signBits = _mm_set1_epi16(std::int16_t(0x8000));
  return _mm_cmpgt_epi16(_mm_xor_si128(incoming, signBits), _mm_xor_si128(stored, signBits));
}

inline __m128i select(__m128i mask, __m128i ifSet, __m128i ifClear) {
  return _mm_or_si128(_mm_and_si128(mask, ifSet), _mm_andnot_si128(mask, ifClear));
}

// Whether no pixel of the four failed (the upper lanes of a depth vector are not pixels).
inline bool noneFail(__m128i fails) { return (_mm_movemask_epi8(fails) & 0xFF) == 0; }

// Shades, depth-tests and writes pixels i to i + 3: texels and diffuse colours as four
// ARGB lanes, incoming depths in the low four 16-bit lanes. A replacing draw reads the
// target colours only when some pixel fails the depth test: the read would wait for
// memory that the common case never needs.
template <Shade S, Output O, bool Depth>
[[gnu::always_inline]] inline void writeBlock(std::uint32_t* pixels, std::uint16_t* depth, __m128i texel, __m128i colour,
                                              __m128i incoming) {
  __m128i* out = reinterpret_cast<__m128i*>(pixels);
  __m128i source = shadeSource<S>(texel, colour);
  if constexpr (O == Output::Replace && Depth) {
    __m128i stored = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(depth));
    __m128i fails = depthFails(incoming, stored);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(depth), select(fails, stored, incoming));
    if (noneFail(fails)) {
      _mm_storeu_si128(out, outputOf<O>(source, source));
      return;
    }
    __m128i target = _mm_loadu_si128(out);
    _mm_storeu_si128(out, select(_mm_unpacklo_epi16(fails, fails), target, outputOf<O>(source, target)));
  } else {
    __m128i target = _mm_loadu_si128(out); // before the depth store, which the compiler cannot see past
    __m128i result = outputOf<O>(source, target);
    if constexpr (Depth) {
      __m128i stored = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(depth));
      __m128i fails = depthFails(incoming, stored);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(depth), select(fails, stored, incoming));
      result = select(_mm_unpacklo_epi16(fails, fails), target, result);
    }
    _mm_storeu_si128(out, result);
  }
}

// The same for the first `count` (1 to 3) of pixels i to i + 3, the rest untouched. The
// values go through registers: a vector load of values just stored one by one would
// wait for the stores to complete.
template <Shade S, Output O, bool Depth>
[[gnu::always_inline]] inline void writePartialBlock(std::uint32_t* pixels, std::uint16_t* depth, int count,
                                                     __m128i texel, __m128i colour, __m128i incoming) {
  __m128i source = shadeSource<S>(texel, colour);
  __m128i fails = _mm_setzero_si128();
  if constexpr (Depth) {
    constexpr std::int16_t Farthest = -1; // 0xFFFF: nothing fails against it
    __m128i stored = _mm_setr_epi16(std::int16_t(depth[0]), count > 1 ? std::int16_t(depth[1]) : Farthest,
                                    count > 2 ? std::int16_t(depth[2]) : Farthest, Farthest, 0, 0, 0, 0);
    fails = depthFails(incoming, stored);
    __m128i kept = select(fails, stored, incoming);
    depth[0] = std::uint16_t(_mm_extract_epi16(kept, 0));
    if (count > 1) depth[1] = std::uint16_t(_mm_extract_epi16(kept, 1));
    if (count > 2) depth[2] = std::uint16_t(_mm_extract_epi16(kept, 2));
  }
  __m128i result;
  if (O == Output::Replace && (!Depth || noneFail(fails))) {
    result = outputOf<O>(source, source);
  } else {
    __m128i target =
        _mm_setr_epi32(int(pixels[0]), count > 1 ? int(pixels[1]) : 0, count > 2 ? int(pixels[2]) : 0, 0);
    result = outputOf<O>(source, target);
    if constexpr (Depth) result = select(_mm_unpacklo_epi16(fails, fails), target, result);
  }
  pixels[0] = std::uint32_t(_mm_cvtsi128_si32(result));
  if (count > 1) pixels[1] = std::uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(result, 1)));
  if (count > 2) pixels[2] = std::uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(result, 2)));
}

// --- Attributes in lanes (see StepTable) ---

// One attribute at four consecutive pixels.
struct Lanes {
  __m128i whole, fraction;
};

inline __m128i loadLanes(const std::int32_t (&values)[Block]) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(values));
}

// Fractions below 2^25 in, the carry moved into the whole part.
inline Lanes carried(__m128i whole, __m128i fraction) {
  return {_mm_add_epi32(whole, _mm_srli_epi32(fraction, FixedBits)),
          _mm_and_si128(fraction, _mm_set1_epi32(int(FractionMask)))};
}

inline Lanes startLanes(std::int64_t first, const StepTable& steps, int attribute) {
  return carried(_mm_add_epi32(_mm_set1_epi32(wholePart(first)), loadLanes(steps.offsetWhole[attribute])),
                 _mm_add_epi32(_mm_set1_epi32(fractionPart(first)), loadLanes(steps.offsetFraction[attribute])));
}

inline void nextBlock(Lanes& lanes, const StepTable& steps, int attribute) {
  lanes = carried(_mm_add_epi32(lanes.whole, loadLanes(steps.blockWhole[attribute])),
                  _mm_add_epi32(lanes.fraction, loadLanes(steps.blockFraction[attribute])));
}

// Bits 0..15 of each whole part, sign-extended, which packing to 16 bits then keeps.
inline __m128i low16(__m128i whole) { return _mm_srai_epi32(_mm_slli_epi32(whole, 16), 16); }

// Four colours from channel lanes in 16-bit range, each channel saturated to 0..255.
inline __m128i packColours(__m128i red, __m128i green, __m128i blue) {
  const __m128i zero = _mm_setzero_si128();
  __m128i blueGreen = _mm_packs_epi32(blue, green);                            // b0..b3 g0..g3
  __m128i pairs = _mm_unpacklo_epi16(blueGreen, _mm_srli_si128(blueGreen, 8)); // b0 g0 b1 g1 ..
  __m128i reds = _mm_unpacklo_epi16(_mm_packs_epi32(red, zero), zero);          // r0 0 r1 0 ..
  return _mm_packus_epi16(_mm_unpacklo_epi32(pairs, reds), _mm_unpackhi_epi32(pairs, reds));
}

// How the diffuse colour varies over a run in the four-pixel loops: not at all, as one
// grey level (the three channel planes are the same plane), or per channel.
enum class Colours { Constant, Grey, Gouraud };

// Four grey colours (r = g = b) from one channel's lanes in 16-bit range, saturated to
// 0..255 as packColours does; the alpha byte is left as the grey, which no output keeps.
inline __m128i packGreys(__m128i level) {
  __m128i words = _mm_packs_epi32(level, level);
  __m128i bytes = _mm_packus_epi16(words, words); // g0 g1 g2 g3 ..
  bytes = _mm_unpacklo_epi8(bytes, bytes);        // g0 g0 g1 g1 ..
  return _mm_unpacklo_epi16(bytes, bytes);        // g0 g0 g0 g0 g1 ..
}

// The pixels of one run as four-pixel blocks with every attribute in lanes.
template <Shade S, Colours C, bool Depth>
class LaneWalker {
public:
  LaneWalker(const Span& span, const DrawContext& context)
      : steps_(context.steps), texels_(context.state->texture.texels), widthMask_(context.widthMask),
        heightMask_(context.heightMask), widthShift_(context.widthShift), s_(span.s), t_(span.t), sStep_(span.sStep),
        tStep_(span.tStep), constant_(_mm_set1_epi32(int(context.constantDiffuse))) {
    if constexpr (Depth) z_ = startLanes(span.z, steps_, LaneZ);
    if constexpr (C != Colours::Constant) red_ = startLanes(span.diffuse[1], steps_, LaneRed);
    if constexpr (C == Colours::Gouraud) {
      green_ = startLanes(span.diffuse[2], steps_, LaneGreen);
      blue_ = startLanes(span.diffuse[3], steps_, LaneBlue);
    }
  }

  // Texture coordinates stay 64-bit scalars: a 512-texel row needs 33 bits of them.
  std::uint32_t texel(int k) const {
    std::uint32_t column = std::uint32_t((s_ + sStep_ * k) >> FixedBits) & widthMask_;
    std::uint32_t line = std::uint32_t((t_ + tStep_ * k) >> FixedBits) & heightMask_;
    return texels_[(line << widthShift_) | column];
  }
  __m128i texels() const {
    return _mm_setr_epi32(int(texel(0)), int(texel(1)), int(texel(2)), int(texel(3)));
  }
  __m128i colours() const {
    if constexpr (C == Colours::Constant) return constant_;
    else if constexpr (C == Colours::Grey) return packGreys(low16(red_.whole));
    else return packColours(low16(red_.whole), low16(green_.whole), low16(blue_.whole));
  }
  __m128i depths() const { // in the low four 16-bit lanes
    __m128i d = low16(z_.whole);
    return _mm_packs_epi32(d, d);
  }

  template <Output O>
  void write(std::uint32_t* pixels, std::uint16_t* depth) const {
    __m128i texel = _mm_setzero_si128(), incoming = _mm_setzero_si128();
    if constexpr (S != Shade::Diffuse) texel = texels();
    if constexpr (Depth) incoming = depths();
    writeBlock<S, O, Depth>(pixels, depth, texel, colours(), incoming);
  }
  template <Output O>
  void writePartial(std::uint32_t* pixels, std::uint16_t* depth, int count) const {
    __m128i texel = _mm_setzero_si128(), incoming = _mm_setzero_si128();
    if constexpr (S != Shade::Diffuse) texel = texels();
    if constexpr (Depth) incoming = depths();
    writePartialBlock<S, O, Depth>(pixels, depth, count, texel, colours(), incoming);
  }

  void next() {
    if constexpr (S != Shade::Diffuse) {
      s_ += sStep_ * Block;
      t_ += tStep_ * Block;
    }
    if constexpr (Depth) nextBlock(z_, steps_, LaneZ);
    if constexpr (C != Colours::Constant) nextBlock(red_, steps_, LaneRed);
    if constexpr (C == Colours::Gouraud) {
      nextBlock(green_, steps_, LaneGreen);
      nextBlock(blue_, steps_, LaneBlue);
    }
  }

private:
  const StepTable& steps_;
  const std::uint32_t* texels_;
  const std::uint32_t widthMask_, heightMask_;
  const int widthShift_;
  std::int64_t s_, t_;
  const std::int64_t sStep_, tStep_;
  const __m128i constant_;
  Lanes z_{}, red_{}, green_{}, blue_{};
};

// Four pixels at a time, the last one to three through the same arithmetic. Returns the
// pixels done: all of them, or only the whole blocks when the triangle's colours leave
// the range the lanes hold (see DrawContext::coloursFitLanes; the per-pixel loop then
// finishes them, clamping exactly as it always has).
template <Shade S, Colours C, Output O, bool Depth>
int laneBlocks(const Span& span, const DrawContext& context) {
  LaneWalker<S, C, Depth> walk(span, context);
  int i = 0;
  for (; i + Block <= span.count; i += Block) {
    walk.template write<O>(span.color + i, Depth ? span.depth + i : nullptr);
    walk.next();
  }
  int rest = span.count - i;
  if (rest == 0) return i;
  if constexpr (C != Colours::Constant) {
    if (!context.coloursFitLanes) return i;
  }
  walk.template writePartial<O>(span.color + i, Depth ? span.depth + i : nullptr, rest);
  return span.count;
}

template <Shade S, bool Gouraud, Output O, bool Depth>
int laneBlocks(const Span& span, const DrawContext& context) {
  if constexpr (!Gouraud) return laneBlocks<S, Colours::Constant, O, Depth>(span, context);
  else if (context.greyDiffuse) return laneBlocks<S, Colours::Grey, O, Depth>(span, context);
  else return laneBlocks<S, Colours::Gouraud, O, Depth>(span, context);
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

// Runs of triangles whose attributes vary along the row (see flatSpan for the others).
template <Shade S, bool Gouraud, Output O, bool Depth>
void fastSpan(const Span& span, const DrawContext& context) {
  int i = 0;
#if defined(__SSE2__)
  i = laneBlocks<S, Gouraud, O, Depth>(span, context);
  if (i == span.count) return;
#endif
  Walker<Gouraud> walk(span, context);
  walk.skip(i);
  finishPixels<S, Gouraud, O, Depth>(span, walk, i);
}

// Runs of triangles flat along the row (TriangleKind::flat), the 2D case of every overlay.
template <Shade S, Output O, bool Depth>
void flatSpan(const Span& span, const DrawContext& context) {
  Walker<false> walk(span, context);
  int i = 0;
#if defined(__SSE2__)
  i = flatBlocks<S, O, Depth>(span, walk);
#endif
  finishPixels<S, false, O, Depth>(span, walk, i);
}

// How the attributes vary along a row, which picks the loop.
enum class Variation { Flat, Affine, Gouraud };

template <Shade S, Variation V, Output O>
SpanDrawer pickDepth(bool depth) {
  if constexpr (V == Variation::Flat) return depth ? flatSpan<S, O, true> : flatSpan<S, O, false>;
  constexpr bool Gouraud = V == Variation::Gouraud;
  return depth ? fastSpan<S, Gouraud, O, true> : fastSpan<S, Gouraud, O, false>;
}

template <Shade S, Variation V>
SpanDrawer pickOutput(Output output, bool depth) {
  return output == Output::Replace ? pickDepth<S, V, Output::Replace>(depth) : pickDepth<S, V, Output::Add>(depth);
}

template <Shade S>
SpanDrawer pickShading(TriangleKind kind, Output output, bool depth) {
  if (kind.gouraud) return pickOutput<S, Variation::Gouraud>(output, depth);
  return kind.flat ? pickOutput<S, Variation::Flat>(output, depth) : pickOutput<S, Variation::Affine>(output, depth);
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

// Whether a specialised loop covers this state and triangle kind, and which.
bool specialised(const DrawContext& context, TriangleKind kind, Shade& shade, Output& output) {
  const RasterState& st = *context.state;
  bool fastTexture = !context.textured ||
                     (!kind.perspective && isPowerOfTwo(st.texture.width) && isPowerOfTwo(st.texture.height));
  bool fastDepth = !context.depthActive || (st.depthFunc == DepthFunc::LessEqual && st.depthWrite);
  return fastTexture && fastDepth && fastShade(context, shade) && fastOutput(st, output);
}

} // namespace

void describeTexture(DrawContext& context) {
  const TextureView& texture = context.state->texture;
  context.widthMask = std::uint32_t(texture.width - 1);
  context.heightMask = std::uint32_t(texture.height - 1);
  context.widthShift = log2Exact(texture.width);
}

void prepareSteps(DrawContext& context, TriangleKind kind, const Span& steps, bool forRunsDrawer) {
  if (forRunsDrawer) return prepareWideSteps(context, kind, steps);
#if defined(__SSE2__)
  if (kind.flat) return; // flatSpan does not use the table; most overlays are flat
  StepTable& table = context.steps;
  auto prepare = [&table](int attribute, std::int64_t step) {
    for (int k = 0; k < Block; ++k) {
      table.offsetWhole[attribute][k] = wholePart(step * k);
      table.offsetFraction[attribute][k] = fractionPart(step * k);
      table.blockWhole[attribute][k] = wholePart(step * Block);
      table.blockFraction[attribute][k] = fractionPart(step * Block);
    }
  };
  if (context.depthActive) prepare(LaneZ, steps.zStep);
  if (kind.gouraud)
    for (int c = 1; c < (context.greyDiffuse ? 2 : 4); ++c) prepare(LaneRed + c - 1, steps.diffuseStep[c]);
#else
  (void)context, (void)kind, (void)steps;
#endif
}

SpanDrawer chooseSpanDrawer(const DrawContext& context, TriangleKind kind) {
  Shade shade;
  Output output;
  if (specialised(context, kind, shade, output)) {
    bool depth = context.depthActive;
    switch (shade) {
    case Shade::Diffuse: return pickShading<Shade::Diffuse>(kind, output, depth);
    case Shade::Texture: return pickShading<Shade::Texture>({false, kind.perspective, kind.flat}, output, depth);
    case Shade::Modulate: return pickShading<Shade::Modulate>(kind, output, depth);
    case Shade::Add: return pickShading<Shade::Add>(kind, output, depth);
    }
  }
  return generalSpanDrawer(kind);
}

RunsDrawer chooseRunsDrawer(const DrawContext& context, TriangleKind kind) {
  Shade shade;
  Output output;
  if (!context.wide || !specialised(context, kind, shade, output)) return nullptr;
  return wideRunsDrawer(shade, kind, output, context.depthActive);
}

SpanDrawer generalSpanDrawer(TriangleKind kind) {
  if (kind.gouraud) return kind.perspective ? generalSpan<true, true> : generalSpan<true, false>;
  return kind.perspective ? generalSpan<false, true> : generalSpan<false, false>;
}

} // namespace raster::detail
