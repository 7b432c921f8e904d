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
// Both candidates are computed so that the choice is a select, not a branch on the sign.
inline std::int64_t roundToInt64(double v) {
  std::int64_t up = std::int64_t(v + 0.5), down = -std::int64_t(0.5 - v);
  return v >= 0 ? up : down;
}

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

// A fixed-point value split for 32-bit lanes: its whole part modulo 2^32 and its fraction.
constexpr std::int64_t FractionMask = FixedOne - 1;
inline std::int32_t wholePart(std::int64_t v) { return std::int32_t(v >> FixedBits); }
inline std::int32_t fractionPart(std::int64_t v) { return std::int32_t(v & FractionMask); }

// The attributes the four-pixel loops step in lanes, as indices into StepTable.
enum LaneAttribute { LaneZ, LaneRed, LaneGreen, LaneBlue, LaneAttributeCount };

// Per-pixel steps of one triangle prepared for loops that keep four consecutive pixels'
// attributes in 32-bit lanes: each 24-bit fixed-point value is split into its whole part
// (modulo 2^32, which keeps every bit a texel index, a D16 value or a colour channel
// reads) and its fraction, so stepping them stays exact. `offset` holds k * step for
// lanes k = 0..3, `block` 4 * step in every lane.
struct StepTable {
  alignas(16) std::int32_t offsetWhole[LaneAttributeCount][4];
  alignas(16) std::int32_t offsetFraction[LaneAttributeCount][4];
  alignas(16) std::int32_t blockWhole[LaneAttributeCount][4];
  alignas(16) std::int32_t blockFraction[LaneAttributeCount][4];
};

// The same for the eight-pixel loops (see rasterwide.cpp), texture coordinates included:
// `offset` holds k * step for lanes k = 0..7, `block` 8 * step in every lane.
enum WideAttribute { WideZ, WideRed, WideGreen, WideBlue, WideS, WideT, WideAttributeCount };

struct WideStepTable {
  alignas(32) std::int32_t offsetWhole[WideAttributeCount][8];
  alignas(32) std::int32_t offsetFraction[WideAttributeCount][8];
  alignas(32) std::int32_t blockWhole[WideAttributeCount][8];
  alignas(32) std::int32_t blockFraction[WideAttributeCount][8];
};

// What stays fixed for a whole draw, and the per-triangle values the drawers read.
struct DrawContext {
  const RasterState* state = nullptr;
  std::uint32_t constantDiffuse = 0; // ARGB, when the diffuse colour does not vary
  bool textured = false;             // a texture is bound and some argument reads it
  bool depthActive = false;          // spans carry depth values to test
  // Power-of-two textures: texel (i, j) is texels[(j & heightMask) << widthShift | (i & widthMask)].
  std::uint32_t widthMask = 0, heightMask = 0;
  int widthShift = 0;
  // The eight-pixel loops may draw this draw's triangles (see chooseRunsDrawer); they
  // may read and write back unchanged the values just past a run, up to these ends.
  bool wide = false;
  const std::uint32_t* colorEnd = nullptr;
  const std::uint16_t* depthEnd = nullptr;
  StepTable steps; // per triangle, filled by prepareSteps before any loop reads it
  WideStepTable wideSteps; // the same when `wide`
  // Per triangle: whether every Gouraud colour channel's whole part stays within 16 bits
  // on the triangle, so that the four-pixel loops' saturation equals exact clamping.
  bool coloursFitLanes = false;
  // Per triangle: Gouraud red, green and blue are one plane (grey shading).
  bool greyDiffuse = false;
};

using SpanDrawer = void (*)(const Span&, const DrawContext&);

// An attribute as a linear function of the pixel position, in fixed point, relative to
// the triangle's origin pixel.
struct Plane {
  std::int64_t start = 0, stepX = 0, stepY = 0;
  std::int64_t at(std::int64_t dx, std::int64_t dy) const { return start + stepX * dx + stepY * dy; }
};

// All the runs of one triangle, for loops that draw a whole triangle in one call (see
// rasterwide.cpp): run r covers columns low[r] to high[r] of row firstRow + r, and is
// empty when low[r] > high[r]. The planes are relative to (originX, originY); `steps`
// holds their per-pixel steps as a Span does.
struct TriangleRuns {
  const ColorTarget* color = nullptr;
  const DepthTarget* depth = nullptr;
  std::int64_t firstRow = 0;
  int rows = 0;
  const std::int32_t* low = nullptr;
  const std::int32_t* high = nullptr;
  std::int64_t originX = 0, originY = 0;
  const Plane* diffuse = nullptr; // four planes, alpha, red, green, blue
  const Plane* z = nullptr;
  const Plane* s = nullptr;
  const Plane* t = nullptr;
  const Span* steps = nullptr;
  // The first pass of a list drawn depth first: the keys, laid out as the depth buffer
  // (see DepthKeys), and the low half of this triangle's.
  std::uint32_t* keys = nullptr;
  std::uint32_t ownerKey = 0;
};

using RunsDrawer = void (*)(const TriangleRuns&, const DrawContext&);

// Per triangle: whether the diffuse colour varies across it and whether texturing needs
// the per-pixel divide.
struct TriangleKind {
  bool gouraud = false;
  bool perspective = false;
  // Colour, texture row and depth constant along every row: no Gouraud colour, and no
  // change of v or z with x (only u may move).
  bool flat = false;
};

// Fills in the texture fields of the context from context.state->texture.
void describeTexture(DrawContext& context);

// Fills context.steps, or context.wideSteps for a RunsDrawer, from the per-pixel steps in
// `steps` (only the fields the triangle kind uses are read). Call once per triangle
// before its runs are drawn.
void prepareSteps(DrawContext& context, TriangleKind kind, const Span& steps, bool forRunsDrawer);

// The drawer for this state and triangle kind: a specialised loop for the combinations
// the show draws, the general per-pixel path otherwise.
SpanDrawer chooseSpanDrawer(const DrawContext& context, TriangleKind kind);

// The drawer of whole triangles with the eight-pixel loops for this state and triangle
// kind, or null when they do not cover it or are not available (context.wide false).
RunsDrawer chooseRunsDrawer(const DrawContext& context, TriangleKind kind);

// The first pass of a list drawn depth first (see rasterdepthfirst.h) over whole
// triangles: each pixel's key lowered to the fragment's (its depth, then its place in the
// list). Neither the colours nor the depth buffer are touched. Null when the eight-pixel
// loops are not available.
RunsDrawer wideDepthRunsDrawer();
// Fills the depth row of context.wideSteps for it.
void prepareWideDepthSteps(DrawContext& context, std::int64_t zStep);

// The general per-pixel loop alone: the reference every specialised loop must match.
SpanDrawer generalSpanDrawer(TriangleKind kind);

// Whether the eight-pixel loops exist in this build and run on this processor, and
// whether they are allowed (tests switch them off to check the four-pixel loops).
bool wideSpansAvailable();
void allowWideSpans(bool allowed);
bool wideSpansAllowed();

// raster::drawTriangles with every run drawn by the general loop, for tests that compare
// the specialised loops against it pixel for pixel.
void drawTrianglesGeneral(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                          const Vertex* vertices, int count, Topology topology);

} // namespace raster::detail
