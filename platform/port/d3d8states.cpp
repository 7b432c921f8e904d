#include "platform/port/d3d8states.h"

#include <cstring>

namespace port::d3d {
namespace {

DWORD floatBits(float value) {
  DWORD bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

constexpr DWORD AllChannels = 0xF;       // D3DRS_COLORWRITEENABLE: red, green, blue, alpha
constexpr DWORD AllBits = 0xFFFFFFFF;    // masks and the white texture factor
constexpr DWORD StencilKeep = 1;         // D3DSTENCILOP_KEEP
constexpr DWORD MaterialColor1 = 1;      // D3DMCS_COLOR1
constexpr DWORD MaterialColor2 = 2;      // D3DMCS_COLOR2
constexpr DWORD OrderCubic = 3;          // D3DORDER_CUBIC
constexpr DWORD OrderLinear = 1;         // D3DORDER_LINEAR

void setRenderDefaults(DWORD (&r)[RenderStateCount], bool hasDepthBuffer, DWORD behaviorFlags) {
  r[D3DRS_ZENABLE] = hasDepthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
  r[D3DRS_FILLMODE] = D3DFILL_SOLID;
  r[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  r[D3DRS_ZWRITEENABLE] = TRUE;
  r[D3DRS_LASTPIXEL] = TRUE;
  r[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  r[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  r[D3DRS_CULLMODE] = D3DCULL_CCW;
  r[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  r[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  r[D3DRS_FOGEND] = floatBits(1.0f);
  r[D3DRS_FOGDENSITY] = floatBits(1.0f);
  r[D3DRS_STENCILFAIL] = StencilKeep;
  r[D3DRS_STENCILZFAIL] = StencilKeep;
  r[D3DRS_STENCILPASS] = StencilKeep;
  r[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
  r[D3DRS_STENCILMASK] = AllBits;
  r[D3DRS_STENCILWRITEMASK] = AllBits;
  r[D3DRS_TEXTUREFACTOR] = AllBits;
  r[D3DRS_CLIPPING] = TRUE;
  r[D3DRS_LIGHTING] = TRUE;
  r[D3DRS_COLORVERTEX] = TRUE;
  r[D3DRS_LOCALVIEWER] = TRUE;
  r[D3DRS_DIFFUSEMATERIALSOURCE] = MaterialColor1;
  r[D3DRS_SPECULARMATERIALSOURCE] = MaterialColor2;
  r[D3DRS_SOFTWAREVERTEXPROCESSING] = (behaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) ? TRUE : FALSE;
  r[D3DRS_POINTSIZE] = floatBits(1.0f);
  r[D3DRS_POINTSCALE_A] = floatBits(1.0f);
  r[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
  r[D3DRS_MULTISAMPLEMASK] = AllBits;
  r[D3DRS_PATCHSEGMENTS] = floatBits(1.0f);
  r[D3DRS_POINTSIZE_MAX] = floatBits(64.0f);
  r[D3DRS_COLORWRITEENABLE] = AllChannels;
  r[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  r[D3DRS_POSITIONORDER] = OrderCubic;
  r[D3DRS_NORMALORDER] = OrderLinear;
}

void setStageDefaults(DWORD (&s)[StageStateCount], DWORD stage) {
  s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
  s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
  s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
  s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
  s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
  s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
  s[D3DTSS_TEXCOORDINDEX] = stage;
  s[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
  s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
  s[D3DTSS_ADDRESSW] = D3DTADDRESS_WRAP;
  s[D3DTSS_MAGFILTER] = D3DTEXF_POINT;
  s[D3DTSS_MINFILTER] = D3DTEXF_POINT;
  s[D3DTSS_MIPFILTER] = D3DTEXF_NONE;
  s[D3DTSS_MAXANISOTROPY] = 1;
  s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
  s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
  s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
}

bool translateOp(DWORD op, raster::ColorOp& out) {
  using raster::ColorOp;
  switch (op) {
  case D3DTOP_SELECTARG1: out = ColorOp::SelectArg1; return true;
  case D3DTOP_SELECTARG2: out = ColorOp::SelectArg2; return true;
  case D3DTOP_MODULATE: out = ColorOp::Modulate; return true;
  case D3DTOP_MODULATE2X: out = ColorOp::Modulate2x; return true;
  case D3DTOP_MODULATE4X: out = ColorOp::Modulate4x; return true;
  case D3DTOP_ADD: out = ColorOp::Add; return true;
  case D3DTOP_ADDSIGNED: out = ColorOp::AddSigned; return true;
  case D3DTOP_ADDSIGNED2X: out = ColorOp::AddSigned2x; return true;
  case D3DTOP_SUBTRACT: out = ColorOp::Subtract; return true;
  case D3DTOP_ADDSMOOTH: out = ColorOp::AddSmooth; return true;
  default: return false;
  }
}

// Stage 0 has no previous stage: "current" is the diffuse colour; with no specular
// colour in the vertices and the temporary register unwritten, both read as 0.
bool translateArg(DWORD arg, raster::ColorArg& out) {
  using raster::ArgSource;
  constexpr DWORD KnownModifiers = D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE;
  if (arg & ~(D3DTA_SELECTMASK | KnownModifiers)) return false;
  switch (arg & D3DTA_SELECTMASK) {
  case D3DTA_DIFFUSE:
  case D3DTA_CURRENT: out.source = ArgSource::Diffuse; break;
  case D3DTA_TEXTURE: out.source = ArgSource::Texture; break;
  case D3DTA_TFACTOR: out.source = ArgSource::Factor; break;
  case D3DTA_SPECULAR:
  case D3DTA_TEMP: out.source = ArgSource::Zero; break;
  default: return false;
  }
  out.complement = (arg & D3DTA_COMPLEMENT) != 0;
  out.alphaReplicate = (arg & D3DTA_ALPHAREPLICATE) != 0;
  return true;
}

// The back buffer has no alpha: its alpha reads as 1.
bool translateBlend(DWORD factor, raster::BlendFactor& out) {
  using raster::BlendFactor;
  switch (factor) {
  case D3DBLEND_ZERO:
  case D3DBLEND_INVDESTALPHA: out = BlendFactor::Zero; return true;
  case D3DBLEND_ONE:
  case D3DBLEND_DESTALPHA: out = BlendFactor::One; return true;
  case D3DBLEND_SRCCOLOR: out = BlendFactor::SrcColor; return true;
  case D3DBLEND_INVSRCCOLOR: out = BlendFactor::InvSrcColor; return true;
  case D3DBLEND_DESTCOLOR: out = BlendFactor::DestColor; return true;
  case D3DBLEND_INVDESTCOLOR: out = BlendFactor::InvDestColor; return true;
  default: return false;
  }
}

raster::DepthFunc translateDepthFunc(DWORD func) {
  if (func < D3DCMP_NEVER || func > D3DCMP_ALWAYS) return raster::DepthFunc::Always;
  return raster::DepthFunc(func - D3DCMP_NEVER);
}

raster::Cull translateCull(DWORD cull) {
  if (cull == D3DCULL_CW) return raster::Cull::Clockwise;
  if (cull == D3DCULL_CCW) return raster::Cull::CounterClockwise;
  return raster::Cull::None;
}

HRESULT translateStage0(const DWORD (&s)[StageStateCount], raster::RasterState& out) {
  if (s[D3DTSS_COLOROP] == D3DTOP_DISABLE) {
    // Texturing off: the diffuse colour goes straight through.
    out.op = raster::ColorOp::SelectArg1;
    out.arg1 = raster::ColorArg{raster::ArgSource::Diffuse};
    out.texture = raster::TextureView{};
    return D3D_OK;
  }
  if (!translateOp(s[D3DTSS_COLOROP], out.op)) return D3DERR_UNSUPPORTEDCOLOROPERATION;
  if (!translateArg(s[D3DTSS_COLORARG1], out.arg1) || !translateArg(s[D3DTSS_COLORARG2], out.arg2))
    return D3DERR_UNSUPPORTEDCOLORARG;
  return D3D_OK;
}

} // namespace

void setDefaultStates(DeviceStates& states, bool hasDepthBuffer, DWORD behaviorFlags) {
  states = DeviceStates{};
  setRenderDefaults(states.render, hasDepthBuffer, behaviorFlags);
  for (DWORD stage = 0; stage < StageCount; ++stage) setStageDefaults(states.stage[stage], stage);
}

HRESULT translateStates(const DeviceStates& states, const raster::TextureView& stage0Texture,
                        raster::RasterState& out) {
  const DWORD(&r)[RenderStateCount] = states.render;
  out = raster::RasterState{};
  out.texture = stage0Texture;
  out.textureFactor = r[D3DRS_TEXTUREFACTOR];
  if (HRESULT hr = translateStage0(states.stage[0], out); FAILED(hr)) return hr;

  out.blendEnabled = r[D3DRS_ALPHABLENDENABLE] != FALSE;
  if (out.blendEnabled) {
    if (r[D3DRS_BLENDOP] != D3DBLENDOP_ADD || !translateBlend(r[D3DRS_SRCBLEND], out.srcBlend) ||
        !translateBlend(r[D3DRS_DESTBLEND], out.destBlend))
      return D3DERR_UNSUPPORTEDFACTORVALUE;
  }
  out.depthEnabled = r[D3DRS_ZENABLE] != D3DZB_FALSE;
  out.depthFunc = translateDepthFunc(r[D3DRS_ZFUNC]);
  out.depthWrite = r[D3DRS_ZWRITEENABLE] != FALSE;
  out.cull = translateCull(r[D3DRS_CULLMODE]);
  out.flatShading = r[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
  return D3D_OK;
}

} // namespace port::d3d
