// The sync flash as drawn: the glow added over the frame, darkened to the flash's level,
// levels past 255 drawn as the brightest grey, and the additive factors left set.
#include "direction/globals.h"
#include "direction/timeline.h"
#include "platform/port/testhooks.h"
#include "shell/globals.h"
#include "tests/direction/showframe.h"

namespace {

class Flash : public ShowFrame {
protected:
  // The frame after clearing to `background` and drawing the flash at `level`.
  port::CapturedFrame flashOver(D3DCOLOR background, DWORD level) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
    device->BeginScene();
    drawFlash(glowTexture, level);
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    return port::lastPresent();
  }
  static std::uint32_t at(const port::CapturedFrame& f, int x, int y) { return f.pixels[y * f.width + x] & 0xFFFFFF; }
};

bool grey(std::uint32_t rgb) { return (rgb & 0xFF) == ((rgb >> 8) & 0xFF) && (rgb & 0xFF) == (rgb >> 16); }

TEST_F(Flash, GlowIsBrightestInTheCentreAndDimmestInTheCorners) {
  const port::CapturedFrame f = flashOver(0, 255);
  EXPECT_TRUE(grey(at(f, 320, 240)));
  EXPECT_GE(at(f, 320, 240) & 0xFF, 0xFEu) << "the glow's middle texels, unchanged at 255";
  for (std::uint32_t corner : {at(f, 0, 0), at(f, 639, 0), at(f, 0, 479), at(f, 639, 479)}) {
    EXPECT_TRUE(grey(corner));
    EXPECT_LT(corner & 0xFF, 0x50u) << "255 less the corner's distance from the middle texel";
  }
  for (int x = 320; x < 639; x += 16) {
    EXPECT_TRUE(grey(at(f, x, 240))) << x;
    EXPECT_GE(at(f, x, 240) & 0xFF, at(f, x + 16, 240) & 0xFF) << "falls off towards the edge at " << x;
  }
  const port::CapturedFrame dim = flashOver(0, 128);
  EXPECT_TRUE(grey(at(dim, 320, 240)));
  EXPECT_NEAR(double(at(dim, 320, 240) & 0xFF), 128.0, 1.0) << "the glow darkened to the level";
}

TEST_F(Flash, LevelsPastTheBrightestGreyDoNotCarryIntoOtherChannels) {
  const port::CapturedFrame full = flashOver(0, 255);
  for (DWORD level = 256; level <= 260; ++level) {
    const port::CapturedFrame over = flashOver(0, level);
    EXPECT_EQ(over.pixels, full.pixels) << "level " << level;
  }
}

TEST_F(Flash, AddsOntoTheFrameAndLeavesTheAdditiveFactorsSet) {
  const port::CapturedFrame alone = flashOver(0, 64);
  const port::CapturedFrame f = flashOver(0x00203040, 64);
  for (int y = 0; y < 480; y += 7)
    for (int x = 0; x < 640; x += 7) ASSERT_EQ(at(f, x, y), at(alone, x, y) + 0x203040u) << x << "," << y;
  DWORD source = 0, destination = 0;
  device->GetRenderState(D3DRS_SRCBLEND, &source);
  device->GetRenderState(D3DRS_DESTBLEND, &destination);
  EXPECT_EQ(source, DWORD(D3DBLEND_ONE));
  EXPECT_EQ(destination, DWORD(D3DBLEND_ONE));
}

TEST_F(Flash, RefusedLockDrawsNoFlashButSetsTheStates) {
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  port::setFailure(port::FailPoint::LockVertexBuffer, true);
  const port::CapturedFrame f = flashOver(0, 255);
  port::setFailure(port::FailPoint::LockVertexBuffer, false);
  EXPECT_EQ(at(f, 320, 240), 0u);
  DWORD destination = 0;
  device->GetRenderState(D3DRS_DESTBLEND, &destination);
  EXPECT_EQ(destination, DWORD(D3DBLEND_ONE));
}

} // namespace
