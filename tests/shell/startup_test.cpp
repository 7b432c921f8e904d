// Start-up of the show: each failing step shows exactly its messages, in order, and the
// program still ends with 0; the hardware refusal falls back to the software size.
#include <SDL.h>

#include "direction/globals.h"
#include "platform/port/testhooks.h"
#include "player/player.h"
#include "platform/port/windowstate.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/shell/shellrun.h"
#include "tests/support/fakeaudio.h"

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
        FailureCase{{port::FailPoint::Clear}, {box("DirectX 8.1 init failed!")}},
        FailureCase{{port::FailPoint::Present}, {box("DirectX 8.1 init failed!")}},
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

namespace {

// The demo's own start-up failures, each on its own: the message, then "Demoinit
// failed!", and no music unless the failure comes after the device opened (then it is
// opened but never played, so no playback thread starts).
class DemoStartup : public ShellRun {
protected:
  void expectFailure(const char* message, std::vector<std::string> deviceCalls = {}) {
    EXPECT_EQ(runShow(), 0);
    EXPECT_EQ(boxes(), (std::vector<std::string>{box(message), box("Demoinit failed!")}));
    EXPECT_EQ(audio.calls(), deviceCalls);
    EXPECT_LE(sink.frames, 1) << "only the white start-up frame";
  }
  // Runs the start-up with `point` failing and returns how many heap blocks it got up
  // to there; then puts everything back for a second run.
  int heapBlocksUntilFailureOf(port::FailPoint point, int successes) {
    port::setFailureAfter(point, successes);
    runShow();
    const int blocks = port::callsAt(port::FailPoint::HeapAlloc);
    restart();
    return blocks;
  }
  // Everything back to the start, for another run of the show in the same test.
  void restart() {
    TearDown();
    sink = RecordingSink();
    SetUp();
  }

  FakeAudioBackend audio;
};

// Four fonts, two texture creations each (staging copy and texture), come first.
constexpr int FontTextureCreations = 8;
constexpr int CreationsPerUpload = 2;

TEST_F(DemoStartup, EachTextureUploadFailsOnItsOwn) {
  IDirect3DTexture8** slots[] = {&stoneTexture, &spotTexture, &emberTexture, &glowTexture};
  for (int failing = 0; failing < 4; ++failing) {
    SCOPED_TRACE("texture " + std::to_string(failing));
    port::setFailureAfter(port::FailPoint::CreateTexture, FontTextureCreations + CreationsPerUpload * failing);
    expectFailure("loadtexture fail.");
    for (int made = 0; made < 4; ++made) EXPECT_EQ(*slots[made] != nullptr, made < failing) << "slot " << made;
    EXPECT_NE(sansFontDim.texture, nullptr);
    EXPECT_EQ(demoMesh.points, nullptr) << "nothing after the failed upload";
    restart();
  }
}

TEST_F(DemoStartup, MeshFailureStopsBeforeTheMusic) {
  const int blocks = heapBlocksUntilFailureOf(port::FailPoint::CreateTexture, FontTextureCreations + 3 * CreationsPerUpload);
  port::setFailureAfter(port::FailPoint::HeapAlloc, blocks); // the mesh's first array
  expectFailure("load fail.");
  EXPECT_NE(glowTexture, nullptr);
}

TEST_F(DemoStartup, AudioOutputFailure) {
  port::setFailure(port::FailPoint::WaveOutOpen, true);
  expectFailure("xm play fail.");
  EXPECT_NE(demoMesh.points, nullptr);
}

TEST_F(DemoStartup, ModuleThatDoesNotLoadOpensTheDeviceButNeverPlays) {
  const int blocks = heapBlocksUntilFailureOf(port::FailPoint::WaveOutOpen, 0);
  port::setFailureAfter(port::FailPoint::HeapAlloc, blocks); // the in-memory file's record
  expectFailure("xm fail.", {"open"});
  EXPECT_EQ(demoSong, nullptr);
}

// A font whose atlas does not upload keeps a null texture and the show goes on: no
// message, every other font and texture made, frames drawn until Escape.
TEST_F(DemoStartup, AFontAtlasThatDoesNotUploadLeavesItsTextureNullAndTheShowGoesOn) {
  BitmapFont* fonts[] = {&sansFontDim, &sansFontLight, &serifFontDim, &serifFontLight};
  for (int failing = 0; failing < 4; ++failing) {
    SCOPED_TRACE("font " + std::to_string(failing));
    port::setSingleFailureAfter(port::FailPoint::CreateTexture, CreationsPerUpload * failing);
    int shown = 0;
    sink.onFrame = [&](int frame) {
      shown = frame;
      if (frame == 5) pushKey(SDLK_ESCAPE);
    };
    EXPECT_EQ(runShow(), 0);
    EXPECT_TRUE(boxes().empty());
    EXPECT_GE(shown, 5);
    for (int font = 0; font < 4; ++font) EXPECT_EQ(fonts[font]->texture == nullptr, font == failing) << "font " << font;
    EXPECT_NE(glowTexture, nullptr);
    EXPECT_NE(demoSong, nullptr);
    restart();
  }
}

TEST_F(DemoStartup, SongPlaysFromItsFirstRowWhenTheFrameLoopStarts) {
  int order = -1, row = -1;
  std::vector<std::string> calls;
  sink.onFrame = [&](int frame) {
    if (frame != 2) return;
    order = getPlayingOrder(demoSong);
    row = getPlayingRow(demoSong);
    calls = audio.calls();
    pushKey(SDLK_ESCAPE);
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_TRUE(boxes().empty());
  EXPECT_EQ(calls, (std::vector<std::string>{"open", "play 353600"}));
  EXPECT_EQ(order, 0);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(audio.calls().back(), "close") << "the shutdown closes the device";
}

} // namespace
