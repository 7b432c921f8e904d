// The span loops for processors with AVX2: eight pixels a step, every attribute in
// 32-bit lanes (texture coordinates too, which the four-pixel loops keep scalar) and the
// eight texels fetched at once. The show's meshes are made of small triangles whose
// runs are a few pixels long, so the cost of starting a run matters as much as the
// pixels: a whole triangle is drawn in one call, its start values stepped from row to
// row, and the last, partial block of a run keeps the values just past the run (writing
// them back unchanged where a masked store cannot leave them out) rather than going
// pixel by pixel. Chosen at run time; they draw exactly what
// the four-pixel and general loops draw.
#include "platform/port/rasterlanes.h"
#include "platform/port/rasterpixels.h"

#include <atomic>

namespace raster::detail {
namespace {

std::atomic<bool> allowed{true};

#if NYRA_WIDE_SPANS
// Colours from channel lanes in 16-bit range, each channel saturated to 0..255. Every
// step works within 128-bit halves, so pixels 0..3 and 4..7 come out in order.
WIDE_INLINE __m256i packColours(__m256i red, __m256i green, __m256i blue) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i blueGreen = _mm256_packs_epi32(blue, green);
  __m256i pairs = _mm256_unpacklo_epi16(blueGreen, _mm256_srli_si256(blueGreen, 8));
  __m256i reds = _mm256_unpacklo_epi16(_mm256_packs_epi32(red, zero), zero);
  return _mm256_packus_epi16(_mm256_unpacklo_epi32(pairs, reds), _mm256_unpackhi_epi32(pairs, reds));
}

// Grey colours (r = g = b) from one channel's lanes, as packColours would saturate them.
WIDE_INLINE __m256i packGreys(__m256i level) {
  __m256i words = _mm256_packs_epi32(level, level);
  __m256i bytes = _mm256_packus_epi16(words, words);
  bytes = _mm256_unpacklo_epi8(bytes, bytes);
  return _mm256_unpacklo_epi16(bytes, bytes);
}

// The texels at eight indices. Eight loads rather than a gather instruction: measured a
// few percent faster here, and gathers are slow on some processors that have them.
WIDE_INLINE __m256i loadTexels(const int* texels, __m256i index) {
  alignas(32) std::int32_t at[WideBlock];
  _mm256_store_si256(reinterpret_cast<__m256i*>(at), index);
  return _mm256_setr_epi32(texels[at[0]], texels[at[1]], texels[at[2]], texels[at[3]], texels[at[4]], texels[at[5]],
                           texels[at[6]], texels[at[7]]);
}

template <Shade S>
WIDE_INLINE __m256i shadeSource(__m256i texel, __m256i colour) {
  if constexpr (S == Shade::Diffuse) return colour;
  else if constexpr (S == Shade::Texture) return texel;
  else if constexpr (S == Shade::Add) return _mm256_adds_epu8(texel, colour);
  else {
    const __m256i zero = _mm256_setzero_si256(), roundHalf = _mm256_set1_epi16(128);
    __m256i low = _mm256_add_epi16(
        _mm256_mullo_epi16(_mm256_unpacklo_epi8(texel, zero), _mm256_unpacklo_epi8(colour, zero)), roundHalf);
    __m256i high = _mm256_add_epi16(
        _mm256_mullo_epi16(_mm256_unpackhi_epi8(texel, zero), _mm256_unpackhi_epi8(colour, zero)), roundHalf);
    low = _mm256_srli_epi16(_mm256_add_epi16(low, _mm256_srli_epi16(low, 8)), 8);
    high = _mm256_srli_epi16(_mm256_add_epi16(high, _mm256_srli_epi16(high, 8)), 8);
    return _mm256_packus_epi16(low, high);
  }
}

template <Output O>
WIDE_INLINE __m256i outputOf(__m256i source, __m256i target) {
  __m256i result = O == Output::Replace ? source : _mm256_adds_epu8(target, source);
  return _mm256_and_si256(result, _mm256_set1_epi32(int(RgbMask)));
}

enum class Colours { Constant, Grey, Gouraud };

// What a triangle's runs share, read once from the context: the context may alias the
// pixels the loops store, so the compiler would otherwise read it again for every run.
struct WideConstants {
  WIDE_INLINE explicit WideConstants(const DrawContext& context)
      : texels(reinterpret_cast<const int*>(context.state->texture.texels)),
        widthMask(_mm256_set1_epi32(int(context.widthMask))), heightMask(_mm256_set1_epi32(int(context.heightMask))),
        widthShift(_mm_cvtsi32_si128(context.widthShift)), constantDiffuse(_mm256_set1_epi32(int(context.constantDiffuse))),
        steps(context.wideSteps), colorEnd(context.colorEnd), depthEnd(context.depthEnd),
        textureWidth(int(context.widthMask) + 1), coloursFitLanes(context.coloursFitLanes) {}

  const int* texels;
  __m256i widthMask, heightMask;
  __m128i widthShift;
  __m256i constantDiffuse;
  const WideStepTable& steps;
  const std::uint32_t* colorEnd;
  const std::uint16_t* depthEnd;
  int textureWidth;
  bool coloursFitLanes;
};

// The pixels of one run as eight-pixel blocks.
template <Shade S, Colours C, bool Depth>
class WideWalker {
public:
  static constexpr bool Textured = S != Shade::Diffuse;

  // From the start values in 64-bit lanes: z, red, s, t in `first`, green and blue in
  // `second`.
  WIDE_INLINE WideWalker(__m256i first, __m256i second, const WideConstants& constants)
      : texels_(constants.texels), widthMask_(constants.widthMask), heightMask_(constants.heightMask),
        widthShift_(constants.widthShift), constant_(constants.constantDiffuse), steps_(constants.steps) {
    const __m256i fraction = _mm256_set1_epi64x(FractionMask);
    __m256i whole = _mm256_srli_epi64(first, FixedBits), part = _mm256_and_si256(first, fraction);
    if constexpr (Depth) z_ = lanesOf(whole, part, 0, WideZ);
    if constexpr (C != Colours::Constant) red_ = lanesOf(whole, part, 1, WideRed);
    if constexpr (Textured) {
      s_ = lanesOf(whole, part, 2, WideS);
      t_ = lanesOf(whole, part, 3, WideT);
    }
    if constexpr (C == Colours::Gouraud) {
      whole = _mm256_srli_epi64(second, FixedBits), part = _mm256_and_si256(second, fraction);
      green_ = lanesOf(whole, part, 0, WideGreen);
      blue_ = lanesOf(whole, part, 1, WideBlue);
    }
  }

  WIDE_INLINE __m256i texels() const {
    __m256i column = _mm256_and_si256(s_.whole, widthMask_);
    __m256i line = _mm256_and_si256(t_.whole, heightMask_);
    __m256i index = _mm256_or_si256(_mm256_sll_epi32(line, widthShift_), column);
    return loadTexels(texels_, index);
  }
  WIDE_INLINE __m256i colours() const {
    if constexpr (C == Colours::Constant) return constant_;
    else if constexpr (C == Colours::Grey) return packGreys(low16(red_.whole));
    else return packColours(low16(red_.whole), low16(green_.whole), low16(blue_.whole));
  }
  WIDE_INLINE __m128i depths() const { return narrow16(low16(z_.whole)); }
  WIDE_INLINE __m256i source() const {
    __m256i texel = _mm256_setzero_si256();
    if constexpr (Textured) texel = texels();
    return shadeSource<S>(texel, colours());
  }

  WIDE_INLINE void next() {
    if constexpr (Textured) {
      advance(s_, steps_, WideS);
      advance(t_, steps_, WideT);
    }
    if constexpr (Depth) advance(z_, steps_, WideZ);
    if constexpr (C != Colours::Constant) advance(red_, steps_, WideRed);
    if constexpr (C == Colours::Gouraud) {
      advance(green_, steps_, WideGreen);
      advance(blue_, steps_, WideBlue);
    }
  }

private:
  // The attribute in 64-bit lane `slot` of whole parts and fractions, at eight pixels.
  WIDE_INLINE Lanes8 lanesOf(__m256i whole, __m256i fraction, int slot, int attribute) const {
    const __m256i pick = _mm256_set1_epi32(2 * slot); // the low half of the slot
    return carried(_mm256_add_epi32(_mm256_permutevar8x32_epi32(whole, pick), loadLanes(steps_.offsetWhole[attribute])),
                   _mm256_add_epi32(_mm256_permutevar8x32_epi32(fraction, pick),
                                    loadLanes(steps_.offsetFraction[attribute])));
  }

  const int* texels_;
  const __m256i widthMask_, heightMask_;
  const __m128i widthShift_;
  const __m256i constant_;
  const WideStepTable& steps_;
  Lanes8 s_{}, t_{}, z_{}, red_{}, green_{}, blue_{};
};

// LESSEQUAL on eight D16 values: all ones where incoming > stored.
WIDE_INLINE __m128i depthFails(__m128i incoming, __m128i stored) {
  return _mm_xor_si128(_mm_cmpeq_epi16(_mm_max_epu16(incoming, stored), stored), _mm_set1_epi32(-1));
}

// True when all eight pixels fail the depth test: the block changes nothing, so its
// texels and colours need not be computed.
WIDE_INLINE bool hidden(const std::uint16_t* depth, __m128i incoming) {
  __m128i fails = depthFails(incoming, _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth)));
  return _mm_movemask_epi8(fails) == 0xFFFF;
}

// True when every pixel of a run of `count` fails the depth test, `z` holding the depths
// of its first eight pixels. Most of a depth-sorted scene's runs lie wholly behind what
// is already drawn, and telling so needs only the depths: the run's other attributes are
// never set up. A last partial block at the very end of the buffer counts as visible.
WIDE_INLINE bool runHidden(const std::uint16_t* depth, int count, Lanes8 z, const WideConstants& constants) {
  int i = 0;
  for (; i + WideBlock <= count; i += WideBlock) {
    if (!hidden(depth + i, narrow16(low16(z.whole)))) return false;
    advance(z, constants.steps, WideZ);
  }
  if (i == count) return true;
  if (depth + i + WideBlock > constants.depthEnd) return false;
  __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(depth + i));
  __m128i fails = _mm_or_si128(depthFails(narrow16(low16(z.whole)), stored), pastRun(count - i));
  return _mm_movemask_epi8(fails) == 0xFFFF;
}

// Writes eight pixels from their stage result. `keep` (16-bit lanes) marks pixels left
// as they are: those failing the depth test and, in a partial block, those past the run.
// A replacing draw never reads the target colours: kept pixels are left out of a masked
// store. Depth values are read and written whole, kept ones written back unchanged.
template <Output O, bool Depth>
WIDE_INLINE void writeBlock(std::uint32_t* pixels, std::uint16_t* depth, __m256i source, __m128i incoming,
                            __m128i keep) {
  __m256i* out = reinterpret_cast<__m256i*>(pixels);
  if constexpr (Depth) {
    __m128i* depthOut = reinterpret_cast<__m128i*>(depth);
    __m128i stored = _mm_loadu_si128(depthOut);
    keep = _mm_or_si128(keep, depthFails(incoming, stored));
    _mm_storeu_si128(depthOut, _mm_blendv_epi8(incoming, stored, keep));
  }
  if constexpr (O == Output::Replace) {
    if (_mm_testz_si128(keep, keep)) return _mm256_storeu_si256(out, outputOf<O>(source, source));
    __m256i write = _mm256_xor_si256(_mm256_cvtepi16_epi32(keep), _mm256_set1_epi32(-1));
    return _mm256_maskstore_epi32(reinterpret_cast<int*>(pixels), write, outputOf<O>(source, source));
  }
  __m256i target = _mm256_loadu_si256(out);
  __m256i result = outputOf<O>(source, target);
  _mm256_storeu_si256(out, _mm256_blendv_epi8(result, target, _mm256_cvtepi16_epi32(keep)));
}

// Draws a partial block through copies, for a block that would reach past the targets.
template <Output O, bool Depth>
[[gnu::target("avx2")]] void writeThroughCopies(std::uint32_t* color, std::uint16_t* depth, int count, __m256i source,
                                                __m128i incoming) {
  alignas(32) std::uint32_t pixels[WideBlock] = {};
  alignas(16) std::uint16_t depths[WideBlock] = {};
  for (int k = 0; k < count; ++k) {
    pixels[k] = color[k];
    if constexpr (Depth) depths[k] = depth[k];
  }
  writeBlock<O, Depth>(pixels, depths, source, incoming, pastRun(count));
  for (int k = 0; k < count; ++k) {
    color[k] = pixels[k];
    if constexpr (Depth) depth[k] = depths[k];
  }
}

// The last `count` (1 to 7) pixels of a run: in place when a whole block fits in the
// targets, through copies at their very end.
template <Output O, bool Depth>
WIDE_INLINE void writeLastBlock(std::uint32_t* color, std::uint16_t* depth, int count, __m256i source,
                                __m128i incoming, const WideConstants& constants) {
  bool fits = color + WideBlock <= constants.colorEnd && (!Depth || depth + WideBlock <= constants.depthEnd);
  if (fits) return writeBlock<O, Depth>(color, depth, source, incoming, pastRun(count));
  writeThroughCopies<O, Depth>(color, depth, count, source, incoming);
}

// Pixels `from` to the end of a run one at a time, for triangles whose colours leave the
// range the lanes hold (see DrawContext::coloursFitLanes).
template <Shade S, Colours C, Output O, bool Depth>
[[gnu::target("avx2")]] void finishExactly(std::uint32_t* color, std::uint16_t* depth, int count, int from,
                                           __m256i first, __m256i second, const Span& steps,
                                           const DrawContext& context) {
  alignas(32) std::int64_t a[4], b[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(a), first);
  _mm256_store_si256(reinterpret_cast<__m256i*>(b), second);
  Span span = steps;
  span.color = color;
  span.depth = depth;
  span.count = count;
  span.z = a[0];
  span.diffuse[1] = a[1];
  span.s = a[2];
  span.t = a[3];
  span.diffuse[2] = C == Colours::Gouraud ? b[0] : a[1];
  span.diffuse[3] = C == Colours::Gouraud ? b[1] : a[1];
  Walker<true> exact(span, context);
  exact.skip(from);
  finishPixels<S, true, O, Depth>(span, exact, from);
}

// step * dx modulo 2^64 in each 64-bit lane, for 0 <= dx < 2^32 (AVX2 multiplies only
// 32-bit halves).
WIDE_INLINE __m256i times(__m256i step, __m256i dx) {
  __m256i low = _mm256_mul_epu32(step, dx), high = _mm256_mul_epu32(_mm256_srli_epi64(step, 32), dx);
  return _mm256_add_epi64(low, _mm256_slli_epi64(high, 32));
}

// One run from `color` and `depth` on, its start values in 64-bit lanes: z, red, s, t in
// `first`, green and blue in `second`. `steps` is the triangle's Span, for the rare runs
// finished one pixel at a time.
template <Shade S, Colours C, Output O, bool Depth>
WIDE_INLINE void wideBlocks(std::uint32_t* color, std::uint16_t* depth, int count, __m256i first, __m256i second,
                            const WideConstants& constants, const Span& steps, const DrawContext& context) {
  WideWalker<S, C, Depth> walk(first, second, constants);
  int i = 0;
  __m128i incoming = _mm_setzero_si128();
  for (; i + WideBlock <= count; i += WideBlock) {
    if constexpr (Depth) {
      incoming = walk.depths();
      if (hidden(depth + i, incoming)) {
        walk.next();
        continue;
      }
    }
    writeBlock<O, Depth>(color + i, Depth ? depth + i : nullptr, walk.source(), incoming, _mm_setzero_si128());
    walk.next();
  }
  int rest = count - i;
  if (rest == 0) return;
  if constexpr (C != Colours::Constant) {
    if (!constants.coloursFitLanes) // the lanes may wrap: finish clamping exactly
      return finishExactly<S, C, O, Depth>(color, depth, count, i, first, second, steps, context);
  }
  if constexpr (Depth) incoming = walk.depths();
  writeLastBlock<O, Depth>(color + i, Depth ? depth + i : nullptr, rest, walk.source(), incoming, constants);
}

// A whole triangle: the planes' values at the origin column are stepped from row to row,
// and each run's start values come from them with one multiplication.
template <Shade S, Colours C, Output O, bool Depth>
[[gnu::target("avx2")]] void wideRuns(const TriangleRuns& runs, const DrawContext& context) {
  constexpr bool Textured = S != Shade::Diffuse;
  const WideConstants constants(context);
  const Plane none{}, &z = Depth ? *runs.z : none, &s = Textured ? *runs.s : none, &t = Textured ? *runs.t : none;
  const Plane &red = C != Colours::Constant ? runs.diffuse[1] : none;
  const Plane &green = C == Colours::Gouraud ? runs.diffuse[2] : none, &blue = C == Colours::Gouraud ? runs.diffuse[3] : none;
  // The planes in the lanes wideBlocks takes, at (originX, row), with their steps.
  std::int64_t dy = runs.firstRow - runs.originY;
  __m256i first = _mm256_setr_epi64x(z.start + z.stepY * dy + (Depth ? FixedHalf : 0), red.start + red.stepY * dy,
                                     s.start + s.stepY * dy, t.start + t.stepY * dy);
  __m256i second = _mm256_setr_epi64x(green.start + green.stepY * dy, blue.start + blue.stepY * dy, 0, 0);
  const __m256i firstStepX = _mm256_setr_epi64x(z.stepX, red.stepX, s.stepX, t.stepX);
  const __m256i firstStepY = _mm256_setr_epi64x(z.stepY, red.stepY, s.stepY, t.stepY);
  const __m256i secondStepX = _mm256_setr_epi64x(green.stepX, blue.stepX, 0, 0);
  const __m256i secondStepY = _mm256_setr_epi64x(green.stepY, blue.stepY, 0, 0);
  const std::int64_t colorPitch = runs.color->pitch, depthPitch = Depth ? runs.depth->pitch : 0;
  const std::int64_t originX = runs.originX;
  std::uint32_t* colorRow = runs.color->pixels + runs.firstRow * colorPitch;
  std::uint16_t* depthRow = Depth ? runs.depth->values + runs.firstRow * depthPitch : nullptr;
  const std::int32_t* lows = runs.low;
  const std::int32_t* highs = runs.high;
  std::int64_t zRow = Depth ? z.start + z.stepY * dy + FixedHalf : 0; // the depth alone, for runHidden
  for (int row = 0, rows = runs.rows; row < rows; ++row) {
    std::int32_t low = lows[row], high = highs[row];
    bool drawn = low <= high;
    if constexpr (Depth)
      drawn = drawn && !runHidden(depthRow + low, high - low + 1,
                                  startLanes(zRow + z.stepX * (low - originX), constants.steps, WideZ), constants);
    if (drawn) {
      __m256i dx = _mm256_set1_epi64x(low - originX); // never negative: runs lie right of the origin
      __m256i runFirst = _mm256_add_epi64(first, times(firstStepX, dx)), runSecond = second;
      if constexpr (C == Colours::Gouraud) runSecond = _mm256_add_epi64(second, times(secondStepX, dx));
      wideBlocks<S, C, O, Depth>(colorRow + low, Depth ? depthRow + low : nullptr, high - low + 1, runFirst, runSecond,
                                 constants, *runs.steps, context);
    }
    colorRow += colorPitch;
    if constexpr (Depth) {
      depthRow += depthPitch;
      zRow += z.stepY;
    }
    first = _mm256_add_epi64(first, firstStepY);
    if constexpr (C == Colours::Gouraud) second = _mm256_add_epi64(second, secondStepY);
  }
}

// The texels of eight pixels of one texture row. A texture stretched over the screen
// gives eight pixels at most eight neighbouring texels, in order: one load of those, and
// each pixel's picked out of it.
WIDE_INLINE __m256i rowTexels(const int* row, const Lanes8& column, const WideConstants& constants) {
  __m256i index = _mm256_and_si256(column.whole, constants.widthMask);
  int first = _mm256_cvtsi256_si32(index);
  __m256i offset = _mm256_sub_epi32(index, _mm256_set1_epi32(first));
  const __m256i last = _mm256_set1_epi32(WideBlock - 1);
  bool near = _mm256_testc_si256(last, _mm256_max_epu32(offset, last)) && first + WideBlock <= constants.textureWidth;
  if (near) return _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + first)), offset);
  return loadTexels(row, index);
}

// The stage result of eight pixels of a flat run: `texels` is the run's texture row.
template <Shade S>
WIDE_INLINE __m256i flatSource(const int* texels, const Lanes8& column, const WideConstants& constants) {
  __m256i texel = _mm256_setzero_si256();
  if constexpr (S != Shade::Diffuse) texel = rowTexels(texels, column, constants);
  return shadeSource<S>(texel, constants.constantDiffuse);
}

// A triangle flat along its rows (TriangleKind::flat: one colour, and one texture row and
// one depth per row): only the texture column moves along a run.
template <Shade S, Output O, bool Depth>
[[gnu::target("avx2")]] void wideFlatRuns(const TriangleRuns& runs, const DrawContext& context) {
  constexpr bool Textured = S != Shade::Diffuse;
  const WideConstants constants(context);
  const WideStepTable& steps = constants.steps;
  const Plane z = *runs.z, s = *runs.s, t = *runs.t;
  const std::int64_t colorPitch = runs.color->pitch, depthPitch = Depth ? runs.depth->pitch : 0;
  const std::int64_t originX = runs.originX;
  const std::uint32_t heightMask = context.heightMask;
  const int widthShift = context.widthShift;
  std::int64_t dy = runs.firstRow - runs.originY;
  std::int64_t zRow = Depth ? z.start + z.stepY * dy + FixedHalf : 0;
  std::int64_t sRow = Textured ? s.start + s.stepY * dy : 0, tRow = Textured ? t.start + t.stepY * dy : 0;
  std::uint32_t* colorRow = runs.color->pixels + runs.firstRow * colorPitch;
  std::uint16_t* depthRow = Depth ? runs.depth->values + runs.firstRow * depthPitch : nullptr;
  for (int row = 0, rows = runs.rows; row < rows; ++row) {
    std::int32_t low = runs.low[row], high = runs.high[row];
    if (low <= high) {
      const int* texels = constants.texels;
      if constexpr (Textured) texels += (std::uint32_t(tRow >> FixedBits) & heightMask) << widthShift;
      Lanes8 column{};
      if constexpr (Textured) column = startLanes(sRow + s.stepX * (low - originX), steps, WideS);
      __m128i incoming = _mm_setzero_si128();
      if constexpr (Depth) incoming = _mm_set1_epi16(std::int16_t(zRow >> FixedBits));
      std::uint32_t* color = colorRow + low;
      std::uint16_t* depth = Depth ? depthRow + low : nullptr;
      int count = high - low + 1, i = 0;
      // Depth 0 passes LESSEQUAL everywhere (overlays and text lie there): the stored
      // depths need not be read, only overwritten.
      if (Depth && std::uint16_t(zRow >> FixedBits) == 0)
        for (; i + WideBlock <= count; i += WideBlock) {
          writeBlock<O, false>(color + i, nullptr, flatSource<S>(texels, column, constants), incoming,
                               _mm_setzero_si128());
          _mm_storeu_si128(reinterpret_cast<__m128i*>(depth + i), incoming);
          if constexpr (Textured) advance(column, steps, WideS);
        }
      for (; i + WideBlock <= count; i += WideBlock) {
        if (!Depth || !hidden(depth + i, incoming))
          writeBlock<O, Depth>(color + i, Depth ? depth + i : nullptr, flatSource<S>(texels, column, constants),
                               incoming, _mm_setzero_si128());
        if constexpr (Textured) advance(column, steps, WideS);
      }
      if (i < count)
        writeLastBlock<O, Depth>(color + i, Depth ? depth + i : nullptr, count - i,
                                 flatSource<S>(texels, column, constants), incoming, constants);
    }
    colorRow += colorPitch;
    if constexpr (Depth) {
      depthRow += depthPitch;
      zRow += z.stepY;
    }
    if constexpr (Textured) {
      sRow += s.stepY;
      tRow += t.stepY;
    }
  }
}

// How the attributes vary along a row, which picks the loop.
enum class Variation { Flat, Constant, Gouraud };

template <Shade S, Variation V, Output O, bool Depth>
void wideTriangle(const TriangleRuns& runs, const DrawContext& context) {
  if constexpr (V == Variation::Flat) wideFlatRuns<S, O, Depth>(runs, context);
  else if constexpr (V == Variation::Constant) wideRuns<S, Colours::Constant, O, Depth>(runs, context);
  else if (context.greyDiffuse) wideRuns<S, Colours::Grey, O, Depth>(runs, context);
  else wideRuns<S, Colours::Gouraud, O, Depth>(runs, context);
}

template <Shade S, Variation V>
RunsDrawer pickOutput(Output output, bool depth) {
  if (output == Output::Replace)
    return depth ? wideTriangle<S, V, Output::Replace, true> : wideTriangle<S, V, Output::Replace, false>;
  return depth ? wideTriangle<S, V, Output::Add, true> : wideTriangle<S, V, Output::Add, false>;
}

template <Shade S>
RunsDrawer pickVariation(bool flat, bool gouraud, Output output, bool depth) {
  if (flat) return pickOutput<S, Variation::Flat>(output, depth);
  return gouraud ? pickOutput<S, Variation::Gouraud>(output, depth) : pickOutput<S, Variation::Constant>(output, depth);
}

// The low 32 bits of a's and then b's four 64-bit lanes, in order.
WIDE_INLINE __m256i lowHalves(__m256i a, __m256i b) {
  const __m256i low32 = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7); // low halves to the bottom
  return _mm256_permute2x128_si256(_mm256_permutevar8x32_epi32(a, low32), _mm256_permutevar8x32_epi32(b, low32), 0x20);
}

// One attribute's row of the table: the 64-bit multiples k * step in four-lane halves,
// split into whole parts (bits 24..55, the low half of a logical shift) and fractions.
[[gnu::target("avx2")]] void prepareAttribute(WideStepTable& table, int attribute, std::int64_t step) {
  const __m256i fraction = _mm256_set1_epi64x(FractionMask);
  __m256i first = _mm256_setr_epi64x(0, step, 2 * step, 3 * step);
  __m256i second = _mm256_add_epi64(first, _mm256_set1_epi64x(4 * step));
  _mm256_store_si256(reinterpret_cast<__m256i*>(table.offsetWhole[attribute]),
                     lowHalves(_mm256_srli_epi64(first, FixedBits), _mm256_srli_epi64(second, FixedBits)));
  _mm256_store_si256(reinterpret_cast<__m256i*>(table.offsetFraction[attribute]),
                     lowHalves(_mm256_and_si256(first, fraction), _mm256_and_si256(second, fraction)));
  _mm256_store_si256(reinterpret_cast<__m256i*>(table.blockWhole[attribute]),
                     _mm256_set1_epi32(wholePart(8 * step)));
  _mm256_store_si256(reinterpret_cast<__m256i*>(table.blockFraction[attribute]),
                     _mm256_set1_epi32(fractionPart(8 * step)));
}

bool processorHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

} // namespace

bool wideSpansAvailable() {
#if NYRA_WIDE_SPANS
  return processorHasAvx2();
#else
  return false;
#endif
}

void allowWideSpans(bool allow) { allowed = allow; }

bool wideSpansAllowed() { return allowed && wideSpansAvailable(); }

void prepareWideSteps(DrawContext& context, TriangleKind kind, const Span& steps) {
#if NYRA_WIDE_SPANS
  WideStepTable& table = context.wideSteps;
  if (context.depthActive) prepareAttribute(table, WideZ, steps.zStep);
  if (kind.gouraud)
    for (int c = 1; c < (context.greyDiffuse ? 2 : 4); ++c) prepareAttribute(table, WideRed + c - 1, steps.diffuseStep[c]);
  if (context.textured) {
    prepareAttribute(table, WideS, steps.sStep);
    prepareAttribute(table, WideT, steps.tStep);
  }
#else
  (void)context, (void)kind, (void)steps;
#endif
}

void prepareWideDepthSteps(DrawContext& context, std::int64_t zStep) {
#if NYRA_WIDE_SPANS
  prepareAttribute(context.wideSteps, WideZ, zStep);
#else
  (void)context, (void)zStep;
#endif
}

RunsDrawer wideRunsDrawer(Shade shade, TriangleKind kind, Output output, bool depth) {
#if NYRA_WIDE_SPANS
  if (!wideSpansAllowed() || kind.perspective) return nullptr;
  bool gouraud = kind.gouraud && shade != Shade::Texture; // the texture alone ignores the colour
  switch (shade) {
  case Shade::Diffuse: return pickVariation<Shade::Diffuse>(kind.flat, gouraud, output, depth);
  case Shade::Texture: return pickVariation<Shade::Texture>(kind.flat, gouraud, output, depth);
  case Shade::Modulate: return pickVariation<Shade::Modulate>(kind.flat, gouraud, output, depth);
  case Shade::Add: return pickVariation<Shade::Add>(kind.flat, gouraud, output, depth);
  }
#else
  (void)shade, (void)kind, (void)output, (void)depth;
#endif
  return nullptr;
}

} // namespace raster::detail
