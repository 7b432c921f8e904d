// SDL events become window messages: keys, the close button, the pointer entering or
// moving over the window, and exposure.
#include "platform/port/windowstate.h"

namespace port::detail {
namespace {

// WM_SETCURSOR's lParam: hit-test code low, triggering mouse message high.
constexpr LPARAM SetCursorFromMouseMove = HTCLIENT | (LPARAM(WM_MOUSEMOVE) << 16);

LPARAM keyParameter(const SDL_KeyboardEvent& key, bool alt) {
  LPARAM l = KeyRepeatCountOne;
  l |= (LPARAM(key.keysym.scancode) & KeyScanCodeMask) << KeyScanCodeShift;
  if (alt) l |= KeyContextAltBit;
  if (key.type == SDL_KEYUP) l |= KeyPreviousDownBit | KeyTransitionUpBit;
  else if (key.repeat) l |= KeyPreviousDownBit;
  return l;
}

// With Alt held (or for F10) the platform reports keys as system keys.
UINT keyMessage(const SDL_KeyboardEvent& key, UINT virtualKey, bool alt) {
  bool system = alt || virtualKey == VK_F10;
  if (key.type == SDL_KEYDOWN) return system ? WM_SYSKEYDOWN : WM_KEYDOWN;
  return system ? WM_SYSKEYUP : WM_KEYUP;
}

void postOnce(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!isQueued(window, message)) enqueue(window, message, wParam, lParam);
}

void translateWindowEvent(const SDL_WindowEvent& e, WindowRecord& w) {
  switch (e.event) {
  case SDL_WINDOWEVENT_CLOSE:
    postOnce(w.handle, WM_CLOSE, 0, 0);
    break;
  case SDL_WINDOWEVENT_EXPOSED:
    w.needsPaint = true;
    break;
  case SDL_WINDOWEVENT_ENTER:
    postOnce(w.handle, WM_SETCURSOR, WPARAM(w.handle), SetCursorFromMouseMove);
    break;
  default:
    break;
  }
}

void translate(const SDL_Event& e, WindowRecord& w) {
  Uint32 id = SDL_GetWindowID(w.sdlWindow);
  switch (e.type) {
  case SDL_KEYDOWN:
  case SDL_KEYUP: {
    if (e.key.windowID != 0 && e.key.windowID != id) break;
    bool alt = (e.key.keysym.mod & KMOD_ALT) != 0;
    UINT vk = virtualKeyFor(e.key.keysym.sym);
    enqueue(w.handle, keyMessage(e.key, vk, alt), vk, keyParameter(e.key, alt));
    break;
  }
  case SDL_WINDOWEVENT:
    if (e.window.windowID == id) translateWindowEvent(e.window, w);
    break;
  case SDL_MOUSEMOTION:
    if (e.motion.windowID == id)
      postOnce(w.handle, WM_SETCURSOR, WPARAM(w.handle), SetCursorFromMouseMove);
    break;
  case SDL_QUIT: // the session or a signal asks the program to end: as the close button
    postOnce(w.handle, WM_CLOSE, 0, 0);
    break;
  default:
    break;
  }
}

} // namespace

void pumpEvents() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    // Events with no window to go to are dropped, as input to no window is.
    if (WindowRecord* w = liveWindow()) translate(e, *w);
  }
}

} // namespace port::detail
