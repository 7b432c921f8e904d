#pragma once
// Inside the rasterizer: what every specialised span loop shares, whatever its width: the
// shading and output it was made for, and the pixel-at-a-time walk that draws what the
// wide blocks leave over.
#include "platform/port/rastercolor.h"
#include "platform/port/rasterspan.h"

#include <cstdint>

namespace raster::detail {

enum class Shade { Diffuse, Texture, Modulate, Add };
enum class Output { Replace, Add };

// The attributes of a run, stepped one pixel at a time.
template <bool Gouraud>
struct Walker {
  [[gnu::always_inline]] Walker(const Span& span, const DrawContext& context)
      : s(span.s), span(span), r(span.diffuse[1]), texture(context.state->texture), z(span.z),
        widthMask(context.widthMask), g(span.diffuse[2]), heightMask(context.heightMask), t(span.t),
        widthShift(context.widthShift), b(span.diffuse[3]), constantDiffuse(context.constantDiffuse) {}

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
  // Moves to pixel n of the run from its first pixel.
  void skip(int n) {
    s += span.sStep * n;
    t += span.tStep * n;
    z += span.zStep * n;
    r += span.diffuseStep[1] * n;
    g += span.diffuseStep[2] * n;
    b += span.diffuseStep[3] * n;
  }

  // No two attributes are neighbours: the compiler would copy a neighbouring pair from
  // the Span with one wide load over two values the caller has just stored separately,
  // which waits until both stores complete.
  std::int64_t s;
  const Span& span;
  std::int64_t r;
  const TextureView& texture;
  std::int64_t z;
  const std::uint32_t widthMask;
  std::int64_t g;
  const std::uint32_t heightMask;
  std::int64_t t;
  const int widthShift;
  std::int64_t b;
  const std::uint32_t constantDiffuse;
};

template <Shade S>
std::uint32_t shadePixel(std::uint32_t texel, std::uint32_t diffuse) {
  if constexpr (S == Shade::Diffuse) return diffuse;
  else if constexpr (S == Shade::Texture) return texel;
  else if constexpr (S == Shade::Modulate) return modulateRgb(texel, diffuse);
  else return addSaturateRgb(texel, diffuse);
}

// Pixels `from` to the end of the run one at a time, `walk` standing at pixel `from`.
template <Shade S, bool Gouraud, Output O, bool Depth>
[[gnu::always_inline]] inline void finishPixels(const Span& span, Walker<Gouraud>& walk, int from) {
  for (int i = from; i < span.count; ++i) {
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

// The eight-pixel loops for processors with AVX2 (see rasterwide.cpp): the drawer of
// whole affine triangles, or null when this build or processor has none or they are
// switched off.
RunsDrawer wideRunsDrawer(Shade shade, TriangleKind kind, Output output, bool depth);

// Fills context.wideSteps for a triangle, as prepareSteps does context.steps.
void prepareWideSteps(DrawContext& context, TriangleKind kind, const Span& steps);

} // namespace raster::detail
