// Start-up of the show: each failing step shows exactly its messages, in order, and the
// program still ends with 0; the hardware refusal falls back to the software size.
#include <SDL.h>

#include "platform/port/testhooks.h"
#include "platform/port/windowstate.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/shell/shellrun.h"

namespace {

const std::string Caption = "Nyra Quorvatic 64k intro";
std::string box(const char* text) { return Caption + "|" + text; }

struct FailureCase {
  std::vector<port::FailPoint> failing;
  std::vector<std::string> messages;
};

class StartupFailure : public ShellRun, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StartupFailure, ShowsItsMessagesInOrderDrawsNoFrameAndReturnsZero) {
  for (port::FailPoint p : GetParam().failing) port::setFailure(p, true);
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(boxes(), GetParam().messages);
  EXPECT_FALSE(demoShutDown()) << "a failed start-up ends without the shutdown";
  // Only initDirect3D's white frame may have been presented before the failure.
  EXPECT_LE(sink.frames, 1);
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, StartupFailure,
    ::testing::Values(
        FailureCase{{port::FailPoint::CreateWindowExA}, {box("Win32app init failed!")}},
        FailureCase{{port::FailPoint::Direct3DCreate8},
                    {box("DirectX 8.1a not detected."), box("DirectX 8.1 init failed!")}},
        FailureCase{{port::FailPoint::CreateDeviceHal, port::FailPoint::CreateDeviceRef},
                    {box("Crap 3Dcard!!! Switching to software!!!"),
                     box("DirectX8.1:even sw rendering failed!!!"),
                     box("DirectX 8.1 init failed!")}},
        FailureCase{{port::FailPoint::Reset},
                    {box("DirectX 8.1 couldnt create zbuffer!"), box("DirectX 8.1 init failed!")}},
        FailureCase{{port::FailPoint::CreateVertexBuffer},
                    {box("DirectX 8.1 couldnt create vbuf."), box("DirectX 8.1 init failed!")}},
        FailureCase{{port::FailPoint::CreateTexture},
                    {box("loadtexture fail."), box("Demoinit failed!")}},
        FailureCase{{port::FailPoint::UpdateWindow}, {box("Couldn't open window!")}}));

TEST_F(ShellRun, FailedStartUpLeavesQuitRequestUnreadAndClassRegistered) {
  port::setFailure(port::FailPoint::Reset, true);
  EXPECT_EQ(runShow(), 0);
  // showError posted its quit to the window; nothing read it.
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, mainWindow, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  EXPECT_EQ(m.message, UINT(WM_QUIT));
  WNDCLASSA again{};
  again.lpfnWndProc = DefWindowProcA;
  again.lpszClassName = windowTitle;
  EXPECT_EQ(RegisterClassA(&again), 0) << "the class must still be registered";
}

TEST_F(ShellRun, RegisteredClassMakesTheShowEndSilently) {
  WNDCLASSA taken{};
  taken.lpfnWndProc = DefWindowProcA;
  taken.lpszClassName = windowTitle;
  ASSERT_NE(RegisterClassA(&taken), 0);
  EXPECT_EQ(runShow(), 0);
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(mainWindow, nullptr);
  EXPECT_EQ(sink.frames, 0);
}

TEST_F(ShellRun, HardwareRefusalFallsBackToSoftwareSizeAndKeepsRunning) {
  port::setFailure(port::FailPoint::CreateDeviceHal, true);
  int windowWidth = 0, windowHeight = 0;
  sink.onFrame = [&](int frame) {
    if (frame == 3) {
      SDL_GetWindowSize(port::detail::liveWindow()->sdlWindow, &windowWidth, &windowHeight);
      pushKey(SDLK_ESCAPE);
    }
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(boxes(), std::vector<std::string>{box("Crap 3Dcard!!! Switching to software!!!")});
  EXPECT_EQ(screenWidth, 320);
  EXPECT_EQ(screenHeight, 200);
  EXPECT_EQ(sink.first.width, 320);
  EXPECT_EQ(sink.first.height, 200);
  EXPECT_EQ(sink.last.width, 320);
  EXPECT_EQ(sink.last.height, 200);
  EXPECT_EQ(windowWidth, 640) << "the window keeps the size it was created with";
  EXPECT_EQ(windowHeight, 480);
  EXPECT_EQ(sink.frames, 3);
  EXPECT_TRUE(demoShutDown());
}

TEST_F(ShellRun, FirstFrameIsPlainWhiteAtFullSize) {
  sink.onFrame = [](int frame) {
    if (frame == 2) pushKey(SDLK_ESCAPE);
  };
  EXPECT_EQ(runShow(), 0);
  ASSERT_EQ(sink.first.width, 640);
  ASSERT_EQ(sink.first.height, 480);
  std::size_t notWhite = 0;
  for (std::uint32_t p : sink.first.pixels)
    if ((p & 0xFFFFFFu) != 0xFFFFFFu) ++notWhite;
  EXPECT_EQ(notWhite, 0u);
  EXPECT_TRUE(boxes().empty());
}

TEST_F(ShellRun, RunLongRenderStatesAreSetBeforeTheFirstFrame) {
  DWORD cull = 0, lighting = 1, zEnable = 0, dither = 0, blend = 0;
  sink.onFrame = [&](int frame) {
    if (frame != 2) return;
    device->GetRenderState(D3DRS_CULLMODE, &cull);
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    device->GetRenderState(D3DRS_ZENABLE, &zEnable);
    device->GetRenderState(D3DRS_DITHERENABLE, &dither);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    pushKey(SDLK_ESCAPE);
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(cull, DWORD(D3DCULL_NONE));
  EXPECT_EQ(lighting, DWORD(FALSE));
  EXPECT_EQ(zEnable, DWORD(D3DZB_TRUE));
  EXPECT_EQ(dither, DWORD(TRUE));
  EXPECT_EQ(blend, DWORD(TRUE));
}

TEST_F(ShellRun, SharedVertexBufferHoldsThirtyThousandScreenVertices) {
  bool lastVertexWritable = false, pastEndRefused = false;
  sink.onFrame = [&](int frame) {
    if (frame != 2) return;
    BYTE* data = nullptr;
    const UINT lastVertex = (SharedVertexCount - 1) * sizeof(ScreenVertex);
    lastVertexWritable =
        SUCCEEDED(sharedVertexBuffer->Lock(lastVertex, sizeof(ScreenVertex), &data, 0)) && data;
    if (lastVertexWritable) sharedVertexBuffer->Unlock();
    pastEndRefused = FAILED(sharedVertexBuffer->Lock(SharedVertexCount * sizeof(ScreenVertex),
                                                     sizeof(ScreenVertex), &data, 0));
    if (!pastEndRefused) sharedVertexBuffer->Unlock();
    pushKey(SDLK_ESCAPE);
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_TRUE(lastVertexWritable);
  EXPECT_TRUE(pastEndRefused);
}

} // namespace
