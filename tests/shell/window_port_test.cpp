// The window side of the port layer: SDL events become messages with the platform's
// codes, closing destroys the window as on the platform, and the queue's filters.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/port/testhooks.h"
#include "platform/win32.h"
#include "platform/port/window.h"
#include "platform/port/windowstate.h"

namespace {

struct Seen {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> seen;

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  seen.push_back({message, wParam, lParam});
  if (message == WM_SETCURSOR) {
    SetCursor(nullptr);
    return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

constexpr char ClassName[] = "port test window";

class WindowPort : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // a runner's timeout must end the process
    port::resetWindowing();
    port::resetTestHooks();
    port::WindowOptions o;
    o.fullScreen = false;
    o.vsync = false;
    port::setWindowOptions(o);
    seen.clear();
    WNDCLASSA c{};
    c.lpfnWndProc = recordingProcedure;
    c.lpszClassName = ClassName;
    ASSERT_NE(RegisterClassA(&c), 0);
    window = CreateWindowExA(0, ClassName, "test", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ValidateRect(window, nullptr); // no WM_PAINT in the way of the messages under test
  }
  void TearDown() override {
    port::resetWindowing();
    port::resetTestHooks();
  }

  // Every message waiting now, taken and dispatched.
  std::vector<MSG> drain() {
    std::vector<MSG> taken;
    MSG m{};
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      taken.push_back(m);
      DispatchMessageA(&m);
    }
    return taken;
  }

  Uint32 windowId() const { return SDL_GetWindowID(port::detail::liveWindow()->sdlWindow); }

  void pushSdlKey(Uint32 type, SDL_Keycode key, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = windowId();
    e.key.repeat = repeat;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
  }

  HWND window = nullptr;
};

TEST_F(WindowPort, KeyPressesBecomeKeyMessagesWithVirtualKeyCodes) {
  const SDL_Keycode keys[] = {SDLK_ESCAPE, SDLK_F1, SDLK_F2, SDLK_F3, SDLK_F4, SDLK_F5,
                              SDLK_a,      SDLK_7,  SDLK_SPACE, SDLK_KP_0, SDLK_KP_9, SDLK_F13};
  const WPARAM codes[] = {VK_ESCAPE, VK_F1, VK_F2, VK_F3, VK_F4, VK_F5,
                          'A',       '7',   VK_SPACE, VK_NUMPAD0, VK_NUMPAD0 + 9, VK_F13};
  for (SDL_Keycode k : keys) pushSdlKey(SDL_KEYDOWN, k);
  std::vector<MSG> taken = drain();
  ASSERT_EQ(taken.size(), std::size(codes));
  for (std::size_t i = 0; i < taken.size(); ++i) {
    EXPECT_EQ(taken[i].message, UINT(WM_KEYDOWN)) << i;
    EXPECT_EQ(taken[i].wParam, codes[i]) << i;
    EXPECT_EQ(taken[i].hwnd, window);
    EXPECT_EQ(taken[i].lParam & 0xFFFF, 1) << "repeat count";
  }
}

TEST_F(WindowPort, KeyReleaseRepeatAndUnmappedKeysAreReported) {
  pushSdlKey(SDL_KEYDOWN, SDLK_F1, KMOD_NONE, 1);
  pushSdlKey(SDL_KEYUP, SDLK_F1);
  pushSdlKey(SDL_KEYDOWN, SDLK_MUTE);
  std::vector<MSG> taken = drain();
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(taken[0].message, UINT(WM_KEYDOWN));
  EXPECT_NE(taken[0].lParam & (LPARAM(1) << 30), 0) << "a repeat was already down";
  EXPECT_EQ(taken[1].message, UINT(WM_KEYUP));
  EXPECT_EQ(taken[1].wParam, WPARAM(VK_F1));
  EXPECT_NE(taken[1].lParam & (LPARAM(1) << 31), 0) << "release transition";
  EXPECT_EQ(taken[2].wParam, WPARAM(VK_PORT_UNMAPPED));
}

TEST_F(WindowPort, CloseButtonSendsCloseThenDestroyAndRemovesTheWindow) {
  PostMessageA(window, WM_USER, 0, 0); // dispatched before the close
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = windowId();
  SDL_PushEvent(&e);
  drain();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].message, UINT(WM_USER));
  EXPECT_EQ(seen[1].message, UINT(WM_CLOSE));
  EXPECT_EQ(seen[2].message, UINT(WM_DESTROY));
  EXPECT_EQ(port::detail::liveWindow(), nullptr);
  EXPECT_FALSE(PostMessageA(window, WM_QUIT, 0, 0)) << "the handle is dead";
  MSG m{};
  EXPECT_FALSE(PeekMessageA(&m, window, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(GetMessageA(&m, window, 0, 0), -1);
}

TEST_F(WindowPort, MessagesPostedDuringDestroyGoWithTheWindow) {
  PostMessageA(window, WM_QUIT, 0, 0);
  PostMessageA(nullptr, WM_USER, 0, 0); // a thread message stays
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
  std::vector<MSG> left = drain();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].message, UINT(WM_USER));
  EXPECT_EQ(left[0].hwnd, nullptr);
}

TEST_F(WindowPort, AltF4AsksTheWindowToClose) {
  pushSdlKey(SDL_KEYDOWN, SDLK_F4, KMOD_LALT);
  std::vector<MSG> taken = drain();
  ASSERT_FALSE(taken.empty());
  EXPECT_EQ(taken[0].message, UINT(WM_SYSKEYDOWN));
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[1].message, UINT(WM_CLOSE));
  EXPECT_EQ(seen[2].message, UINT(WM_DESTROY));
  EXPECT_EQ(port::detail::liveWindow(), nullptr);
}

TEST_F(WindowPort, PeekFiltersByWindowAndRangeAndCanLeaveMessagesQueued) {
  PostMessageA(nullptr, WM_USER, 1, 0);
  PostMessageA(window, WM_USER + 1, 2, 0);
  PostMessageA(window, WM_QUIT, 3, 0);
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, window, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 2u) << "the window filter skips thread messages";
  ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 3u);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 1u) << "PM_NOREMOVE left the first message in place";
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE) << "WM_QUIT ends GetMessageA's loop";
  EXPECT_EQ(m.message, UINT(WM_QUIT));
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(WindowPort, PaintIsDueUntilValidatedAndUpdateWindowSendsIt) {
  ShowWindow(window, SW_HIDE);
  ShowWindow(window, SW_SHOWDEFAULT); // shown again: the window needs painting
  MSG m{};
  ASSERT_TRUE(PeekMessageA(&m, window, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, UINT(WM_PAINT));
  ASSERT_TRUE(PeekMessageA(&m, window, 0, 0, PM_REMOVE)) << "still due: not validated";
  EXPECT_TRUE(UpdateWindow(window));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].message, UINT(WM_PAINT)); // default processing validated it
  EXPECT_FALSE(PeekMessageA(&m, window, 0, 0, PM_REMOVE));
  EXPECT_TRUE(UpdateWindow(window));
  EXPECT_EQ(seen.size(), 1u) << "nothing to paint: no WM_PAINT";
}

TEST_F(WindowPort, PointerOverTheWindowAsksForTheCursorOnceAndNullHidesIt) {
  SDL_ShowCursor(SDL_ENABLE);
  for (int i = 0; i < 5; ++i) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = windowId();
    e.motion.x = i;
    SDL_PushEvent(&e);
  }
  std::vector<MSG> taken = drain();
  ASSERT_EQ(taken.size(), 1u) << "pointer moves are coalesced";
  EXPECT_EQ(taken[0].message, UINT(WM_SETCURSOR));
  EXPECT_EQ(taken[0].lParam & 0xFFFF, HTCLIENT);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  SetCursor(reinterpret_cast<HCURSOR>(1));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

TEST_F(WindowPort, WindowCreationFailsWhenAskedOrWhenOneExists) {
  EXPECT_EQ(CreateWindowExA(0, ClassName, "second", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  DestroyWindow(window);
  EXPECT_EQ(CreateWindowExA(0, "no such class", "x", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  port::setFailure(port::FailPoint::CreateWindowExA, true);
  EXPECT_EQ(CreateWindowExA(0, ClassName, "x", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                            nullptr, nullptr),
            nullptr);
  port::setFailure(port::FailPoint::CreateWindowExA, false);
  HWND again = CreateWindowExA(0, ClassName, "x", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                               nullptr, nullptr);
  EXPECT_NE(again, nullptr);
  EXPECT_NE(again, window) << "handles are not reused";
}

TEST_F(WindowPort, ClassesAreUniqueAndStayWhileTheirWindowLives) {
  WNDCLASSA c{};
  c.lpfnWndProc = DefWindowProcA;
  c.lpszClassName = ClassName;
  EXPECT_EQ(RegisterClassA(&c), 0);
  EXPECT_FALSE(UnregisterClassA(ClassName, nullptr));
  DestroyWindow(window);
  EXPECT_TRUE(UnregisterClassA(ClassName, nullptr));
  EXPECT_FALSE(UnregisterClassA(ClassName, nullptr));
  EXPECT_NE(RegisterClassA(&c), 0);
}

TEST_F(WindowPort, MessageBoxGoesToStandardErrorAndTheRecord) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(window, "first text", "Caption", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "second", "Other", MB_ICONERROR), IDOK);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Caption: first text\nOther: second\n");
  std::vector<port::MessageBoxRecord> shown = port::messageBoxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].caption, "Caption");
  EXPECT_EQ(shown[0].text, "first text");
  EXPECT_EQ(shown[1].caption, "Other");
}

} // namespace
