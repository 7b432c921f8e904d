// Ending the show: Escape, the close button and a posted quit each release the objects
// exactly once and no frame is drawn after that; a failed frame ends at once.
#include <SDL.h>

#include "direction/globals.h"
#include "platform/port/windowstate.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/shell/shellrun.h"

namespace {

// Holds one extra reference on every object the shutdown releases. Dropping them at the
// end must destroy each object (count 0): one release by the shutdown, never two.
struct ExtraReferences {
  IDirect3DTexture8* stone = nullptr;
  IDirect3DTexture8* spot = nullptr;
  IDirect3DVertexBuffer8* vertices = nullptr;
  IDirect3DDevice8* dev = nullptr;
  IDirect3D8* d3d = nullptr;

  void take() {
    stone = stoneTexture;
    spot = spotTexture;
    vertices = sharedVertexBuffer;
    dev = device;
    d3d = direct3D;
    for (IUnknown* o : all()) o->AddRef();
  }
  std::vector<IUnknown*> all() const { return {stone, spot, vertices, dev, d3d}; }
  // Remaining counts after dropping ours, in the order of all(). The device goes first:
  // until it is gone it holds the textures and the vertex buffer bound to it.
  std::vector<ULONG> drop() const {
    const ULONG deviceCount = dev->Release();
    std::vector<ULONG> counts;
    for (IUnknown* o : all()) counts.push_back(o == dev ? deviceCount : o->Release());
    return counts;
  }
};

const std::vector<ULONG> AllDestroyed{0, 0, 0, 0, 0};
constexpr int TriggerFrame = 4;

TEST_F(ShellRun, EscapeShutsDownOnceAndDrawsNothingAfter) {
  ExtraReferences refs;
  sink.onFrame = [&](int frame) {
    if (frame == 2) refs.take();
    if (frame == TriggerFrame) pushKey(SDLK_ESCAPE);
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_TRUE(demoShutDown());
  EXPECT_EQ(sink.frames, TriggerFrame) << "the key is handled before the next frame";
  EXPECT_EQ(sink.framesAfterShutdown, 0);
  EXPECT_TRUE(boxes().empty());
  ASSERT_NE(refs.d3d, nullptr);
  EXPECT_EQ(refs.drop(), AllDestroyed);
}

TEST_F(ShellRun, CloseButtonShutsDownOnceEndsLoopAndUnregistersClass) {
  ExtraReferences refs;
  sink.onFrame = [&](int frame) {
    if (frame == 2) refs.take();
    if (frame == TriggerFrame) pushCloseButton();
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_TRUE(demoShutDown());
  EXPECT_EQ(sink.frames, TriggerFrame);
  EXPECT_EQ(sink.framesAfterShutdown, 0);
  EXPECT_EQ(port::detail::liveWindow(), nullptr) << "closing destroys the window";
  WNDCLASSA again{};
  again.lpfnWndProc = DefWindowProcA;
  again.lpszClassName = windowTitle;
  EXPECT_NE(RegisterClassA(&again), 0) << "the loop ended normally and unregistered the class";
  ASSERT_NE(refs.d3d, nullptr);
  EXPECT_EQ(refs.drop(), AllDestroyed);
}

TEST_F(ShellRun, PostedQuitShutsDownOnce) {
  ExtraReferences refs;
  sink.onFrame = [&](int frame) {
    if (frame == 2) refs.take();
    if (frame == TriggerFrame) PostMessageA(mainWindow, WM_QUIT, 0, 0);
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_TRUE(demoShutDown());
  EXPECT_EQ(sink.frames, TriggerFrame);
  EXPECT_EQ(sink.framesAfterShutdown, 0);
  ASSERT_NE(refs.d3d, nullptr);
  EXPECT_EQ(refs.drop(), AllDestroyed);
}

TEST_F(ShellRun, RepeatedQuitRequestsStillReleaseOnce) {
  ExtraReferences refs;
  sink.onFrame = [&](int frame) {
    if (frame == 2) refs.take();
    if (frame == TriggerFrame) {
      pushKey(SDLK_ESCAPE);
      pushKey(SDLK_ESCAPE);
      pushCloseButton();
      PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    }
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(sink.framesAfterShutdown, 0);
  ASSERT_NE(refs.d3d, nullptr);
  EXPECT_EQ(refs.drop(), AllDestroyed);
}

TEST_F(ShellRun, FailedFrameEndsAtOnceWithoutShutdownOrMessage) {
  sink.failFrom = 3;
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(sink.frames, 3);
  EXPECT_FALSE(demoShutDown());
  EXPECT_TRUE(boxes().empty());
  // The quit it posted is left unread.
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, mainWindow, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, UINT(WM_QUIT));
}

TEST_F(ShellRun, FramesFollowEachOtherWhileNoMessageWaits) {
  sink.onFrame = [](int frame) {
    if (frame == 30) pushKey(SDLK_ESCAPE);
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(sink.frames, 30);
  EXPECT_NE(sink.last.pixels.front() & 0xFFFFFFu, 0xFFFFFFu) << "frames are not the white one";
}

// The window procedure alone.
class WindowProcedure : public ShellRun {};

TEST_F(WindowProcedure, FunctionKeysForceTimelineStatesZeroToFour) {
  const WPARAM keys[] = {VK_F1, VK_F2, VK_F3, VK_F4, VK_F5};
  for (int state = 0; state < 5; ++state) {
    timelineState = 6;
    EXPECT_EQ(windowProc(nullptr, WM_KEYDOWN, keys[state], 0), 1);
    EXPECT_EQ(timelineState, state);
  }
}

TEST_F(WindowProcedure, OtherKeysAreSwallowedWithoutEffect) {
  timelineState = 5;
  for (WPARAM key : {WPARAM('A'), WPARAM(VK_F6), WPARAM(VK_SPACE), WPARAM(VK_RETURN)})
    EXPECT_EQ(windowProc(nullptr, WM_KEYDOWN, key, 0), 1);
  EXPECT_EQ(timelineState, 5);
  MSG m{};
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) << "nothing was posted";
}

TEST_F(WindowProcedure, EscapeOnlyPostsAQuit) {
  EXPECT_EQ(windowProc(nullptr, WM_KEYDOWN, VK_ESCAPE, 0), 1);
  EXPECT_FALSE(demoShutDown());
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, UINT(WM_QUIT));
}

TEST_F(WindowProcedure, CursorMessageHidesThePointer) {
  sink.onFrame = [](int frame) {
    if (frame == 2) {
      SDL_ShowCursor(SDL_ENABLE);
      SDL_Event e{};
      e.type = SDL_MOUSEMOTION;
      e.motion.windowID = SDL_GetWindowID(port::detail::liveWindow()->sdlWindow);
      SDL_PushEvent(&e);
    }
    if (frame == 3) {
      EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
      pushKey(SDLK_ESCAPE);
    }
  };
  EXPECT_EQ(runShow(), 0);
  EXPECT_EQ(sink.frames, 3);
}

} // namespace
