#pragma once
// The software rasterizer behind our Direct3D 8 device: pre-transformed triangles into a
// 32-bit colour buffer and an optional 16-bit depth buffer, with Direct3D's rules for
// coverage (pixel centres on integer coordinates, top-left fill convention), point
// sampling with wrap addressing, one texture stage and additive or replacing output.
// It knows nothing of COM objects or render-state numbers: the device translates its
// states into a RasterState once per draw.
#include <cstdint>

namespace raster {

// One vertex as the device hands it over: screen position in pixels, depth 0..1,
// reciprocal homogeneous w, ARGB diffuse, texture coordinates (1.0 = one texture width).
struct Vertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};

// X8R8G8B8 pixels (the X byte written as 0); pitch in pixels. Not owned.
struct ColorTarget {
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;
};

// D16 depth values, round(z * 65535); pitch in values. Not owned; pixels null = none.
struct DepthTarget {
  std::uint16_t* values = nullptr;
  int width = 0;
  int height = 0;
  int pitch = 0;
};

// A8R8G8B8 texels of one mip level, rows tightly packed. Not owned; texels null means
// no texture is bound (a texture argument then reads opaque white).
struct TextureView {
  const std::uint32_t* texels = nullptr;
  int width = 0;
  int height = 0;
  bool opaque = false; // X8R8G8B8: the top byte is not alpha, which reads as 1
};

// Where a colour-operation argument comes from. Stage 0 has no previous stage, so the
// "current" colour is the diffuse colour and the device maps it to Diffuse.
enum class ArgSource : std::uint8_t { Diffuse, Texture, Factor, Zero };

struct ColorArg {
  ArgSource source = ArgSource::Diffuse;
  bool complement = false;     // 1 - x
  bool alphaReplicate = false; // the alpha copied into the colour channels
};

enum class ColorOp : std::uint8_t {
  SelectArg1,
  SelectArg2,
  Modulate,
  Modulate2x,
  Modulate4x,
  Add,
  AddSigned,
  AddSigned2x,
  Subtract,
  AddSmooth
};

// Framebuffer blend factors that need no alpha channel.
enum class BlendFactor : std::uint8_t { Zero, One, SrcColor, InvSrcColor, DestColor, InvDestColor };

enum class DepthFunc : std::uint8_t { Never, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };

enum class Cull : std::uint8_t { None, Clockwise, CounterClockwise };

enum class Topology : std::uint8_t { TriangleList, TriangleStrip, TriangleFan };

struct RasterState {
  ColorOp op = ColorOp::Modulate;
  ColorArg arg1{ArgSource::Texture};
  ColorArg arg2{ArgSource::Diffuse};
  std::uint32_t textureFactor = 0xFFFFFFFF; // ARGB
  TextureView texture;

  bool blendEnabled = false; // false: the source replaces the target
  BlendFactor srcBlend = BlendFactor::One;
  BlendFactor destBlend = BlendFactor::Zero;

  bool depthEnabled = false; // needs a DepthTarget too
  DepthFunc depthFunc = DepthFunc::LessEqual;
  bool depthWrite = true;

  Cull cull = Cull::CounterClockwise;
  bool flatShading = false; // the first vertex's colour for the whole triangle
};

// Draws the triangles made of `count` vertices under the given topology. Triangles are
// clipped to the target and to 0 <= z <= 1; depth is read and written only when
// state.depthEnabled and depth.values are both set.
void drawTriangles(const ColorTarget& color, const DepthTarget& depth, const RasterState& state,
                   const Vertex* vertices, int count, Topology topology);

} // namespace raster
