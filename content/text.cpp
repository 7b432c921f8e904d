#include "content/text.h"

#include <cstring>

#include "content/sharedvertices.h"
#include "shell/globals.h"

namespace {

constexpr int VerticesPerGlyph = 6; // two triangles
constexpr int TrianglesPerGlyph = 2;
constexpr int FallbackScreenWidth = 320; // the reduced software mode draws at half size
constexpr float FallbackScale = 0.5f;
constexpr float AtlasTexels = 256.0f;    // glyph rectangles are in texels / 256
constexpr DWORD TextVertexDiffuse = 0xFFFFFFFF;
constexpr float TextVertexRhw = 1.0f;

// Glyph position of `c` in the alphabet, or -1.
int glyphIndex(const BitmapFont& font, char c) {
  if (c == '\0') return -1;
  const char* at = std::strchr(font.alphabet, c);
  return at ? static_cast<int>(at - font.alphabet) : -1;
}

ScreenVertex textVertex(float x, float y, float u, float v) {
  return ScreenVertex{x, y, 0.0f, TextVertexRhw, TextVertexDiffuse, u, v};
}

// Lays the quads of the drawable prefix of `text` into `out`; returns the glyph count.
int layQuads(float px, float py, float scaleX, float scaleY, const char* text, const BitmapFont& font, ScreenVertex* out) {
  int n = 0;
  for (; n < TextCharacterLimit; ++n) {
    int g = glyphIndex(font, text[n]);
    if (g < 0) break;
    const GlyphU& u = font.glyphU[g];
    const GlyphV& v = font.glyphV[g];
    float w = (u.right - u.left) * AtlasTexels * scaleX;
    float h = (v.bottom - v.top) * AtlasTexels * scaleY;
    ScreenVertex* q = out + n * VerticesPerGlyph;
    q[0] = textVertex(px, py, u.left, v.top);
    q[1] = textVertex(px + w, py, u.right, v.top);
    q[2] = textVertex(px, py + h, u.left, v.bottom);
    q[3] = q[1];
    q[4] = q[2];
    q[5] = textVertex(px + w, py + h, u.right, v.bottom);
    px += w;
  }
  return n;
}

void setTextStates(IDirect3DTexture8* texture) {
  device->SetTexture(0, texture);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  useSharedVertices();
}

} // namespace

void drawText(std::int32_t x, std::int32_t y, float scaleX, float scaleY, const char* text, BitmapFont font) {
  float px = static_cast<float>(x);
  float py = static_cast<float>(y);
  if (screenWidth == FallbackScreenWidth) {
    px *= FallbackScale;
    py *= FallbackScale;
    scaleX *= FallbackScale;
    scaleY *= FallbackScale;
  }
  ScreenVertex vertices[TextCharacterLimit * VerticesPerGlyph];
  int n = layQuads(px, py, scaleX, scaleY, text, font, vertices);
  UINT bytes = static_cast<UINT>(n * VerticesPerGlyph * sizeof(ScreenVertex));
  // A lock of size 0 would mean the whole buffer, and a failed lock has nothing to copy to.
  bool filled = n > 0 && fillSharedVertices(vertices, bytes);
  setTextStates(font.texture);
  if (filled) device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(n * TrianglesPerGlyph));
}
