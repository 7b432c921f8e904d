#include "content/text.h"

#include <cstring>
#include <string>
#include <vector>

#include "content/heap.h"
#include "content/pcx.h"
#include "data/embedded.h"
#include "tests/content/devicetest.h"

namespace {

constexpr std::uint32_t Sentinel = 0xDEADBEEF;

class DrawText : public DeviceTest {
protected:
  BitmapFont font{};

  void SetUp() override {
    DeviceTest::SetUp();
    PixelBuffer strip = decodePcx(sansGlyphStrip, std::size_t(sansGlyphStripSize));
    font = buildFont(SansAlphabet, 0x999988, strip);
    memFree(strip.pixels);
    ASSERT_NE(font.texture, nullptr);
    fillVertexBuffer();
  }
  void TearDown() override {
    if (font.texture) font.texture->Release();
    DeviceTest::TearDown();
  }

  // Marks the whole shared buffer so untouched vertices can be told apart.
  void fillVertexBuffer() {
    BYTE* bytes = nullptr;
    ASSERT_EQ(sharedVertexBuffer->Lock(0, 0, &bytes, 0), S_OK);
    for (UINT i = 0; i < SharedVertexCount * sizeof(ScreenVertex) / 4; ++i) std::memcpy(bytes + i * 4, &Sentinel, 4);
    sharedVertexBuffer->Unlock();
  }
  std::vector<ScreenVertex> vertices(int count) {
    BYTE* bytes = nullptr;
    std::vector<ScreenVertex> out(count);
    EXPECT_EQ(sharedVertexBuffer->Lock(0, 0, &bytes, 0), S_OK);
    std::memcpy(out.data(), bytes, count * sizeof(ScreenVertex));
    sharedVertexBuffer->Unlock();
    return out;
  }
  // Number of glyph quads written, judged by the sentinel after them.
  int quadsWritten() {
    std::vector<ScreenVertex> all = vertices(SharedVertexCount);
    int v = 0;
    while (v < int(all.size()) && all[v].diffuse != Sentinel) ++v;
    EXPECT_EQ(v % 6, 0);
    return v / 6;
  }
  void draw(std::int32_t x, std::int32_t y, float sx, float sy, const char* text) {
    device->BeginScene();
    drawText(x, y, sx, sy, text, font);
    device->EndScene();
  }
};

void expectVertex(const ScreenVertex& v, float x, float y, float u, float tv) {
  EXPECT_FLOAT_EQ(v.x, x);
  EXPECT_FLOAT_EQ(v.y, y);
  EXPECT_EQ(v.z, 0.0f);
  EXPECT_EQ(v.rhw, 1.0f);
  EXPECT_EQ(v.diffuse, 0xFFFFFFFFu);
  EXPECT_EQ(v.u, u);
  EXPECT_EQ(v.v, tv);
}

TEST_F(DrawText, QuadsAreLaidLeftToRightFromThePen) {
  draw(10, 20, 1.0f, 1.0f, "and do");
  EXPECT_EQ(quadsWritten(), 6);
  std::vector<ScreenVertex> v = vertices(12);
  const float l = 1.0f / 256, r = 23.0f / 256, t = 0, b = 37.0f / 256;
  expectVertex(v[0], 10, 20, l, t);
  expectVertex(v[1], 32, 20, r, t);
  expectVertex(v[2], 10, 57, l, b);
  expectVertex(v[3], 32, 20, r, t);
  expectVertex(v[4], 10, 57, l, b);
  expectVertex(v[5], 32, 57, r, b);
  EXPECT_FLOAT_EQ(v[6].x, 32); // n: cell width 24, drawn 25 wide
  EXPECT_FLOAT_EQ(v[7].x, 57);
  EXPECT_EQ(v[6].v, 36.0f / 256); // n opens the second band
}

TEST_F(DrawText, StopsAtTheFirstCharacterOutsideTheAlphabet) {
  draw(0, 0, 1, 1, "Hello");
  EXPECT_EQ(quadsWritten(), 0);
  draw(0, 0, 1, 1, "hello, world");
  EXPECT_EQ(quadsWritten(), 5);
}

TEST_F(DrawText, DrawsAtMost128Characters) {
  std::string text(300, 'i');
  draw(0, 0, 1, 1, text.c_str());
  EXPECT_EQ(quadsWritten(), TextCharacterLimit);
}

TEST_F(DrawText, FallbackScreenHalvesPositionAndScale) {
  screenWidth = 320;
  draw(100, 50, 1, 1, "a");
  std::vector<ScreenVertex> v = vertices(6);
  EXPECT_FLOAT_EQ(v[0].x, 50);
  EXPECT_FLOAT_EQ(v[0].y, 25);
  EXPECT_FLOAT_EQ(v[5].x, 61);
  EXPECT_FLOAT_EQ(v[5].y, 43.5f);
}

TEST_F(DrawText, ScaledQuadsAreNotRoundedToPixels) {
  draw(0, 0, 0.7f, 2.0f, "aa");
  std::vector<ScreenVertex> v = vertices(12);
  EXPECT_NEAR(v[1].x, 15.4f, 1e-5);
  EXPECT_NEAR(v[2].y, 74.0f, 1e-5);
  EXPECT_NEAR(v[7].x, 30.8f, 1e-5);
}

TEST_F(DrawText, SetsItsStatesEvenWhenNothingIsDrawable) {
  draw(0, 0, 1, 1, "");
  EXPECT_EQ(quadsWritten(), 0);
  DWORD value = 0;
  device->GetRenderState(D3DRS_DESTBLEND, &value);
  EXPECT_EQ(value, DWORD(D3DBLEND_ONE));
  device->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, DWORD(D3DCULL_NONE));
  device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
  EXPECT_EQ(value, DWORD(D3DTOP_SELECTARG1));
  device->GetTextureStageState(0, D3DTSS_COLORARG1, &value);
  EXPECT_EQ(value, DWORD(D3DTA_TEXTURE));
  IDirect3DBaseTexture8* bound = nullptr;
  device->GetTexture(0, &bound);
  EXPECT_EQ(bound, font.texture);
  if (bound) bound->Release();
}

// Draws on black with additive blending and returns the columns that received ink.
std::vector<int> inkedColumns(const port::CapturedFrame& frame) {
  std::vector<int> columns;
  for (int x = 0; x < frame.width; ++x) {
    for (int y = 0; y < frame.height; ++y) {
      if (frame.pixels[y * frame.width + x] & 0xFFFFFF) {
        columns.push_back(x);
        break;
      }
    }
  }
  return columns;
}

TEST_F(DrawText, RendersAddedInkOnlyInsideTheDrawnQuads) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  draw(4, 4, 1, 1, "ab,cd");
  device->Present(nullptr, nullptr, nullptr, nullptr);
  std::vector<int> columns = inkedColumns(port::lastPresent());
  ASSERT_FALSE(columns.empty());
  EXPECT_GE(columns.front(), 4);
  EXPECT_LT(columns.back(), 4 + 22 + 24); // a and b only; nothing after the comma
  EXPECT_GT(columns.back(), 4 + 22);      // b was drawn
}

} // namespace
