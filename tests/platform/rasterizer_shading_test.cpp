// What colour a covered pixel gets: point sampling with wrap, the stage-0 colour
// operations, blending, the 16-bit depth test and the interpolation of colour and
// texture coordinates.
#include "tests/platform/rasterizer_picture.h"

#include <vector>

namespace {

using namespace rastertest;
using raster::ArgSource;
using raster::ColorOp;
using raster::Topology;
using raster::Vertex;

struct Texture {
  int width, height;
  std::vector<std::uint32_t> texels;
  raster::TextureView view() const { return {texels.data(), width, height}; }
};

// Texel (i, j) = 0xFF00iijj: its own coordinates, readable in a picture.
Texture coordinateTexture(int width, int height) {
  Texture t{width, height, std::vector<std::uint32_t>(std::size_t(width) * height)};
  for (int j = 0; j < height; ++j)
    for (int i = 0; i < width; ++i) t.texels[std::size_t(j) * width + i] = 0xFF000000u | unsigned(i) << 8 | unsigned(j);
  return t;
}

Texture solidTexture(int width, int height, std::uint32_t argb) {
  return Texture{width, height, std::vector<std::uint32_t>(std::size_t(width) * height, argb)};
}

raster::RasterState textured(const Texture& t, ColorOp op = ColorOp::SelectArg1) {
  raster::RasterState st;
  st.op = op;
  st.arg1 = {ArgSource::Texture};
  st.arg2 = {ArgSource::Diffuse};
  st.texture = t.view();
  st.cull = raster::Cull::None;
  return st;
}

void draw(Picture& p, const raster::RasterState& st, const std::vector<Vertex>& v) {
  raster::drawTriangles(p.color(), p.depthTarget(), st, v.data(), int(v.size()), Topology::TriangleList);
}

std::uint32_t texelAt(int i, int j) { return unsigned(i) << 8 | unsigned(j); }

// --- Point sampling --------------------------------------------------------------------

TEST(RasterSampling, EachPixelTakesTheTexelContainingUTimesWidth) {
  Texture t = coordinateTexture(4, 4);
  Picture p(8, 8);
  draw(p, textured(t), quad(0, 0, 8, 8, 0, 0, 0, 1, 1));
  expectPicture(p, [](int x, int y) { return texelAt(x / 2, y / 2); });
}

TEST(RasterSampling, CoordinatesWrapIncludingNegativeOnes) {
  Texture t = coordinateTexture(4, 4);
  Picture p(8, 8);
  // u from -0.25: pixel 0 reads u * 4 = -1, the last texel; v from -1 reads like v from 0.
  draw(p, textured(t), quad(0, 0, 8, 8, 0, -0.25f, -1.0f, 0.75f, 0.0f));
  expectPicture(p, [](int x, int y) { return texelAt((x / 2 + 3) % 4, y / 2); });
}

TEST(RasterSampling, AbsurdCoordinatesStillReadSomeTexel) {
  Texture t = solidTexture(4, 4, 0xFF0A0B0C);
  Picture p(8, 8);
  draw(p, textured(t), quad(0, 0, 8, 8, 0, -1e20f, 3e30f, 1e25f, -1e38f));
  EXPECT_EQ(p.count(0x0A0B0C), 64);
}

TEST(RasterSampling, NonPowerOfTwoTexturesWrapToo) {
  Texture t = coordinateTexture(3, 5);
  Picture p(6, 10);
  draw(p, textured(t), quad(0, 0, 6, 10, 0, -1.0f, 0.0f, 1.0f, 2.0f));
  expectPicture(p, [](int x, int y) { return texelAt(x % 3, y % 5); });
}

TEST(RasterSampling, TexelBoundariesLandOnTheRightPixelAcrossAnOddWidth) {
  // 22 texels over 22 pixels: pixel 10 + k reads texel k, even where k / 22 is inexact.
  Texture t = coordinateTexture(22, 1);
  Picture p(40, 2);
  draw(p, textured(t), quad(10, 0, 32, 2, 0, 0, 0, 1, 1));
  expectPicture(p, [](int x, int) { return (x >= 10 && x < 32) ? texelAt(x - 10, 0) : 0u; });
}

TEST(RasterSampling, CoordinatesThatAreWholeTexelsInexactlyStillPickThatTexel) {
  // A step of a third of a texel per pixel is inexact in binary; pixel 3k still reads
  // u * width = k exactly, and must not fall to texel k - 1.
  for (int width : {3, 4}) {
    Texture t = coordinateTexture(width, 1);
    Picture p(3 * width, 1);
    draw(p, textured(t), quad(0, 0, float(3 * width), 1, 0, 0, 0, 1, 1));
    expectPicture(p, [](int x, int) { return texelAt(x / 3, 0); });
  }
}

TEST(RasterSampling, PerspectiveCorrectCoordinatesFollowRhw) {
  // rhw 1 on the left, 1/3 on the right over 16 pixels: half way across, u is
  // (0.5 / 3) / (0.5 + 0.5 / 3) = 0.25, texel 2 of 8, where affine mapping gives 4.
  Texture t = coordinateTexture(8, 1);
  Picture p(16, 2);
  const float far = 1.0f / 3;
  std::vector<Vertex> v = {vertex(0, 0, 0, 0, 0, 0, 1), vertex(16, 0, 0, 1, 0, 0, far), vertex(0, 2, 0, 0, 0, 0, 1),
                           vertex(16, 0, 0, 1, 0, 0, far), vertex(16, 2, 0, 1, 0, 0, far), vertex(0, 2, 0, 0, 0, 0, 1)};
  draw(p, textured(t), v);
  EXPECT_EQ(p.at(0, 0), texelAt(0, 0));
  EXPECT_EQ(p.at(8, 0), texelAt(2, 0));
  EXPECT_EQ(p.at(15, 1), texelAt(6, 0)); // u = (15/48) / (1/16 + 15/48) = 5/6
}

// --- Colour operations -----------------------------------------------------------------

// The same operation on a power-of-two and an odd-sized texture: the specialised loops
// and the general one must agree.
std::uint32_t shadeOnePixel(ColorOp op, std::uint32_t texel, std::uint32_t diffuse, int textureWidth,
                            ArgSource first = ArgSource::Texture, ArgSource second = ArgSource::Diffuse) {
  Texture t = solidTexture(textureWidth, 2, texel);
  raster::RasterState st = textured(t, op);
  st.arg1 = {first};
  st.arg2 = {second};
  Picture p(2, 2, 0x123456);
  draw(p, st, quad(0, 0, 2, 2, diffuse));
  EXPECT_EQ(p.at(0, 0), p.at(1, 1));
  return p.at(0, 0);
}

TEST(RasterColorOps, SelectArg1ShowsTheTexelAloneOrTheDiffuseAlone) {
  for (int width : {4, 3}) {
    EXPECT_EQ(shadeOnePixel(ColorOp::SelectArg1, 0xFF80FF40, 0xFF102030, width), 0x80FF40u);
    EXPECT_EQ(shadeOnePixel(ColorOp::SelectArg1, 0xFF80FF40, 0xFF102030, width, ArgSource::Diffuse), 0x102030u);
    EXPECT_EQ(shadeOnePixel(ColorOp::SelectArg2, 0xFF80FF40, 0xFF102030, width), 0x102030u);
  }
}

TEST(RasterColorOps, ModulateMultipliesChannelsRoundingToNearest) {
  for (int width : {4, 3}) {
    // 128 * 128 / 255 = 64.25, 255 * 128 / 255 = 128, 64 * 255 / 255 = 64.
    EXPECT_EQ(shadeOnePixel(ColorOp::Modulate, 0xFF80FF40, 0x008080FF, width), 0x408040u);
    EXPECT_EQ(shadeOnePixel(ColorOp::Modulate, 0xFF80FF40, 0x008080FF, width, ArgSource::Diffuse, ArgSource::Texture),
              0x408040u);
    EXPECT_EQ(shadeOnePixel(ColorOp::Modulate, 0xFFFFFFFF, 0x00BBFFBB, width), 0xBBFFBBu);
    EXPECT_EQ(shadeOnePixel(ColorOp::Modulate, 0xFF646464, 0x00828282, width), 0x333333u); // 50.98 rounds up
    EXPECT_EQ(shadeOnePixel(ColorOp::Modulate, 0xFF010203, 0x00000000, width), 0x000000u);
  }
}

TEST(RasterColorOps, AddSaturatesEachChannel) {
  for (int width : {4, 3}) {
    EXPECT_EQ(shadeOnePixel(ColorOp::Add, 0xFF80FF40, 0x00900120, width), 0xFFFF60u);
    EXPECT_EQ(shadeOnePixel(ColorOp::Add, 0xFF7F0000, 0x00800000, width), 0xFF0000u);
    EXPECT_EQ(shadeOnePixel(ColorOp::Add, 0xFF010101, 0x00FEFEFE, width), 0xFFFFFFu);
  }
}

TEST(RasterColorOps, MissingTextureReadsAsOpaqueWhite) {
  raster::RasterState st;
  st.op = ColorOp::Modulate;
  st.arg1 = {ArgSource::Texture};
  st.arg2 = {ArgSource::Diffuse};
  st.cull = raster::Cull::None;
  Picture p(2, 2);
  draw(p, st, quad(0, 0, 2, 2, 0x00405060));
  EXPECT_EQ(p.at(1, 1), 0x405060u);
}

// --- Blending --------------------------------------------------------------------------

std::uint32_t blendOnePixel(bool enabled, raster::BlendFactor src, raster::BlendFactor dest, std::uint32_t target,
                            std::uint32_t source) {
  raster::RasterState st;
  st.op = ColorOp::SelectArg1;
  st.arg1 = {ArgSource::Diffuse};
  st.cull = raster::Cull::None;
  st.blendEnabled = enabled;
  st.srcBlend = src;
  st.destBlend = dest;
  Picture p(2, 2, target);
  draw(p, st, quad(0, 0, 2, 2, source));
  return p.at(0, 1);
}

TEST(RasterBlending, OneOneAddsAndSaturatesPerChannel) {
  using raster::BlendFactor;
  EXPECT_EQ(blendOnePixel(true, BlendFactor::One, BlendFactor::One, 0x80F010, 0xFF902005), 0xFFFF15u);
  EXPECT_EQ(blendOnePixel(true, BlendFactor::One, BlendFactor::One, 0x010203, 0x00000000), 0x010203u);
}

TEST(RasterBlending, OneZeroAndDisabledBlendingReplaceTheTarget) {
  using raster::BlendFactor;
  EXPECT_EQ(blendOnePixel(true, BlendFactor::One, BlendFactor::Zero, 0x80F010, 0x00102030), 0x102030u);
  EXPECT_EQ(blendOnePixel(false, BlendFactor::One, BlendFactor::One, 0x80F010, 0x00102030), 0x102030u);
}

TEST(RasterBlending, ColourFactorsScaleByTheOtherColour) {
  using raster::BlendFactor;
  // Target x source: 0x80 * 0x80 / 255 = 64.25, 0xFF * 0x40 / 255 = 0x40.
  EXPECT_EQ(blendOnePixel(true, BlendFactor::Zero, BlendFactor::SrcColor, 0x80FF00, 0x008040FF), 0x404000u);
  EXPECT_EQ(blendOnePixel(true, BlendFactor::Zero, BlendFactor::One, 0x80FF00, 0x008040FF), 0x80FF00u);
}

// --- Depth -----------------------------------------------------------------------------

raster::RasterState depthTested(std::uint32_t) {
  raster::RasterState st;
  st.op = ColorOp::SelectArg1;
  st.arg1 = {ArgSource::Diffuse};
  st.cull = raster::Cull::None;
  st.depthEnabled = true;
  return st;
}

TEST(RasterDepth, LessEqualPassesEqualGeometryDrawnTwiceAndRejectsFartherGeometry) {
  Picture p(8, 8);
  draw(p, depthTested(0), quad(0, 0, 8, 8, 0x0000AA, 0, 0, 1, 1, 0.5f));
  EXPECT_EQ(p.depth[0], 32768); // round(0.5 * 65535)
  draw(p, depthTested(0), quad(0, 0, 8, 8, 0x0000BB, 0, 0, 1, 1, 0.5f));
  EXPECT_EQ(p.count(0x0000BB), 64);
  draw(p, depthTested(0), quad(0, 0, 4, 8, 0x0000CC, 0, 0, 1, 1, 0.5001f));
  draw(p, depthTested(0), quad(4, 0, 8, 8, 0x0000DD, 0, 0, 1, 1, 0.4999f));
  expectPicture(p, [](int x, int) { return x < 4 ? 0x0000BBu : 0x0000DDu; });
}

TEST(RasterDepth, SlopedEqualGeometryPassesEverywhereAndNearerTexturedDrawsWin) {
  std::vector<Vertex> slope = {vertex(0, 0, 0x000011, 0, 0, 0.1f), vertex(30, 3, 0x000011, 0, 0, 0.9f),
                               vertex(5, 20, 0x000011, 0, 0, 0.37f)};
  Picture p(32, 24);
  draw(p, depthTested(0), slope);
  int covered = p.count(0x000011);
  for (Vertex& v : slope) v.diffuse = 0x000022;
  draw(p, depthTested(0), slope);
  EXPECT_EQ(p.count(0x000022), covered);
  EXPECT_EQ(p.count(0x000011), 0);
  // The fast textured loop with depth: a nearer modulated quad replaces, a farther one not.
  Texture t = solidTexture(4, 4, 0xFF808080);
  raster::RasterState st = textured(t, ColorOp::Modulate);
  st.depthEnabled = true;
  draw(p, st, quad(0, 0, 32, 24, 0x00FFFFFF, 0, 0, 1, 1, 0.95f));
  EXPECT_EQ(p.count(0x808080), 32 * 24 - covered);
  draw(p, st, quad(0, 0, 32, 24, 0x00FF0000, 0, 0, 1, 1, 0.0f));
  EXPECT_EQ(p.count(0x800000), 32 * 24);
}

TEST(RasterDepth, DisabledDepthNeitherTestsNorWrites) {
  Picture p(4, 4);
  raster::RasterState st = depthTested(0);
  st.depthEnabled = false;
  std::fill(p.depth.begin(), p.depth.end(), 0);
  draw(p, st, quad(0, 0, 4, 4, 0x00ABCDEF, 0, 0, 1, 1, 0.5f));
  EXPECT_EQ(p.count(0xABCDEF), 16);
  EXPECT_EQ(p.depth[5], 0);
}

// --- Interpolation ---------------------------------------------------------------------

TEST(RasterInterpolation, DiffuseIsGouraudShadedPerChannel) {
  // Blue 0 at x = 0 and 255 at x = 255: pixel x gets exactly x; red falls the other way.
  Picture p(256, 2);
  raster::RasterState st = depthTested(0);
  st.depthEnabled = false;
  std::vector<Vertex> v = {vertex(0, 0, 0x00FF0000), vertex(255, 0, 0x000000FF), vertex(0, 2, 0x00FF0000),
                           vertex(255, 0, 0x000000FF), vertex(255, 2, 0x000000FF), vertex(0, 2, 0x00FF0000)};
  draw(p, st, v);
  expectPicture(p, [](int x, int) { return x == 255 ? 0u : unsigned(255 - x) << 16 | unsigned(x); });
}

TEST(RasterInterpolation, FlatShadingTakesTheFirstVertexColour) {
  Picture p(8, 8);
  raster::RasterState st = depthTested(0);
  st.depthEnabled = false;
  st.flatShading = true;
  draw(p, st, {vertex(0, 0, 0x00112233), vertex(8, 0, 0x00FFFFFF), vertex(0, 8, 0x00000000)});
  EXPECT_EQ(p.count(0x112233), 36);
}

} // namespace

namespace {

// A pair of triangles tiling a rectangle is drawn as one rectangle; the picture must be
// the one the two triangles give when drawn one at a time.
TEST(RasterInterpolation, RectanglePairGivesThePictureOfItsTwoTriangles) {
  Texture t = coordinateTexture(16, 16);
  raster::RasterState st = textured(t, ColorOp::Add);
  st.blendEnabled = true;
  st.srcBlend = raster::BlendFactor::One;
  st.destBlend = raster::BlendFactor::One;
  st.depthEnabled = true;
  // Fractional edges, affine colours (top-right + bottom-left = top-left + bottom-right).
  Vertex tl = vertex(3.4f, 2.6f, 0x00102030, 0.1f, -0.3f, 0.2f), tr = vertex(27.7f, 2.6f, 0x00303030, 1.3f, -0.3f, 0.4f);
  Vertex bl = vertex(3.4f, 19.5f, 0x00104050, 0.1f, 0.9f, 0.3f), br = vertex(27.7f, 19.5f, 0x00304050, 1.3f, 0.9f, 0.5f);
  std::vector<Vertex> pair = {tl, tr, bl, tr, br, bl};
  Picture together(32, 24, 0x000101), apart(32, 24, 0x000101);
  raster::drawTriangles(together.color(), together.depthTarget(), st, pair.data(), 6, Topology::TriangleList);
  raster::drawTriangles(apart.color(), apart.depthTarget(), st, pair.data(), 3, Topology::TriangleList);
  raster::drawTriangles(apart.color(), apart.depthTarget(), st, pair.data() + 3, 3, Topology::TriangleList);
  expectPicture(together, [&](int x, int y) { return apart.at(x, y); });
  EXPECT_EQ(together.depth, apart.depth);
  EXPECT_EQ(together.count(0x000101), 32 * 24 - 24 * 17); // columns 4..27, rows 3..19
}

} // namespace
