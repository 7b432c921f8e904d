#pragma once
// Inside the rasterizer: one horizontal run of covered pixels, with every attribute at
// its first pixel and its step per pixel, and the span drawers chosen once per draw for
// the state combination (colour operation x blend x depth x shading).
#include "platform/port/rasterizer.h"

#include <cstdint>

namespace raster::detail {

// Interpolated attributes are 64-bit fixed point with this many fraction bits.
constexpr int FixedBits = 24;
constexpr std::int64_t FixedOne = std::int64_t(1) << FixedBits;
constexpr std::int64_t FixedHalf = FixedOne / 2;
// Texel coordinates are snapped to 1/256 texel before the texel is chosen, as hardware
// samplers do; folding half of that step into the start value makes floor() round.
constexpr int SubTexelBits = 8;
constexpr std::int64_t SubTexelHalf = std::int64_t(1) << (FixedBits - SubTexelBits - 1);

// Vertex positions are snapped to 1/256 pixel.
constexpr int SubPixelBits = 8;
constexpr double SubPixelScale = 1 << SubPixelBits;
// Snapped coordinates are limited to +-2^21 pixels (the guard band) so that every edge
// function product fits in 64 bits.
constexpr double GuardBandLimit = double(std::int64_t(1) << 29);

// Nearest integer (halves away from zero) of a value within +-2^62; inline arithmetic
// rather than a library call, since setup runs it a dozen times a triangle.
inline std::int64_t roundToInt64(double v) { return v >= 0 ? std::int64_t(v + 0.5) : -std::int64_t(0.5 - v); }

inline std::int64_t snap(float v) {
  double scaled = double(v) * SubPixelScale;
  return roundToInt64(scaled < -GuardBandLimit ? -GuardBandLimit : scaled > GuardBandLimit ? GuardBandLimit : scaled);
}

struct Span {
  std::uint32_t* color = nullptr; // first pixel of the run
  std::uint16_t* depth = nullptr; // its depth value; null without depth testing
  int count = 0;
  // Diffuse channels in 0..255 units (rounding half folded in), alpha, red, green, blue.
  std::int64_t diffuse[4] = {};
  std::int64_t diffuseStep[4] = {};
  // Affine texture coordinates in texels (u * width, v * height), snapping folded in.
  std::int64_t s = 0, t = 0, sStep = 0, tStep = 0;
  // Depth in D16 units (z * 65535), rounding half folded in.
  std::int64_t z = 0, zStep = 0;
  // Perspective-correct texturing: u * rhw, v * rhw and rhw, with their steps.
  double uq = 0, vq = 0, q = 1, uqStep = 0, vqStep = 0, qStep = 0;
};

// What stays fixed for a whole draw.
struct DrawContext {
  const RasterState* state = nullptr;
  std::uint32_t constantDiffuse = 0; // ARGB, when the diffuse colour does not vary
  bool textured = false;             // a texture is bound and some argument reads it
  bool depthActive = false;          // spans carry depth values to test
  // Power-of-two textures: texel (i, j) is texels[(j & heightMask) << widthShift | (i & widthMask)].
  std::uint32_t widthMask = 0, heightMask = 0;
  int widthShift = 0;
};

using SpanDrawer = void (*)(const Span&, const DrawContext&);

// Per triangle: whether the diffuse colour varies across it and whether texturing needs
// the per-pixel divide.
struct TriangleKind {
  bool gouraud = false;
  bool perspective = false;
};

// Fills in the texture fields of the context from context.state->texture.
void describeTexture(DrawContext& context);

// The drawer for this state and triangle kind: a specialised loop for the combinations
// the show draws, the general per-pixel path otherwise.
SpanDrawer chooseSpanDrawer(const DrawContext& context, TriangleKind kind);

} // namespace raster::detail
