// The one window: creation, destruction, showing, painting state and the default
// window procedure.
#include <memory>

#include "platform/port/testhooks.h"
#include "platform/port/window.h"
#include "platform/port/windowstate.h"

namespace port {
namespace {

WindowOptions options;
std::unique_ptr<detail::WindowRecord> theWindow;

// Handles are never reused, so a stale handle never names a later window.
constexpr std::uintptr_t FirstWindowHandle = 0x10010;
constexpr std::uintptr_t WindowHandleStep = 4;
std::uintptr_t nextHandle = FirstWindowHandle;

Uint32 sdlWindowFlags(DWORD style) {
  Uint32 flags = (style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  if (options.fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
  else flags |= SDL_WINDOW_RESIZABLE;
  return flags;
}

// Makes `sdl` (null: none) the one window and returns its new handle.
HWND adoptWindow(SDL_Window* sdl, WNDPROC procedure, const char* className, DWORD style) {
  auto w = std::make_unique<detail::WindowRecord>();
  w->handle = reinterpret_cast<HWND>(nextHandle);
  nextHandle += WindowHandleStep;
  w->procedure = procedure;
  w->className = className;
  w->sdlWindow = sdl;
  w->visible = (style & WS_VISIBLE) != 0;
  w->needsPaint = true;
  theWindow = std::move(w);
  return theWindow->handle;
}

void closeSdlWindow(detail::WindowRecord& w) {
  detail::destroyPresentation(w);
  if (w.sdlWindow) SDL_DestroyWindow(w.sdlWindow);
  w.sdlWindow = nullptr;
}

} // namespace

void setWindowOptions(const WindowOptions& o) { options = o; }
WindowOptions windowOptions() { return options; }

void resetWindowing() {
  if (theWindow) {
    detail::dropMessagesFor(theWindow->handle);
    closeSdlWindow(*theWindow);
    theWindow.reset();
  }
  detail::forgetClasses();
  detail::clearQueue();
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_ENABLE);
}

namespace detail {

WindowRecord* findWindow(HWND window) {
  return (window && theWindow && theWindow->handle == window) ? theWindow.get() : nullptr;
}

WindowRecord* liveWindow() { return theWindow.get(); }

bool ensureVideo() {
  // A full-screen window stays up while a message box has the focus.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  return SDL_WasInit(SDL_INIT_VIDEO) || SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void destroyPresentation(WindowRecord& w) {
  if (w.frameTexture) SDL_DestroyTexture(w.frameTexture);
  if (w.renderer) SDL_DestroyRenderer(w.renderer);
  w.frameTexture = nullptr;
  w.renderer = nullptr;
  w.textureWidth = w.textureHeight = 0;
}

} // namespace detail
} // namespace port

using namespace port::detail;

HWND WINAPI CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND, HMENU, HINSTANCE, LPVOID) {
  if (port::shouldFail(port::FailPoint::CreateWindowExA)) return nullptr;
  WNDPROC procedure = classProcedure(className);
  if (!procedure || port::theWindow) return nullptr; // the port has one window
  if (port::options.headless) return port::adoptWindow(nullptr, procedure, className, style);
  if (!ensureVideo()) return nullptr;
  // A normal window opens centred; the show's own position only means "full screen".
  // Full screen, the window is made at the screen's size: without a window manager
  // (a bare X server) nothing else would resize it.
  SDL_DisplayMode desktop{};
  if (!port::options.fullScreen) {
    x = y = SDL_WINDOWPOS_CENTERED;
  } else if (SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
    x = y = 0;
    width = desktop.w;
    height = desktop.h;
  }
  SDL_Window* sdl = SDL_CreateWindow(windowName ? windowName : "", x, y, width, height,
                                     port::sdlWindowFlags(style));
  if (!sdl) return nullptr;
  return port::adoptWindow(sdl, procedure, className, style);
}

BOOL WINAPI DestroyWindow(HWND window) {
  WindowRecord* w = findWindow(window);
  if (!w || w->destroying) return FALSE;
  w->destroying = true;
  w->procedure(window, WM_DESTROY, 0, 0);
  // As on the platform, messages still queued for the window go with it.
  dropMessagesFor(window);
  port::closeSdlWindow(*port::theWindow);
  port::theWindow.reset();
  return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int command) {
  WindowRecord* w = findWindow(window);
  if (!w) return FALSE;
  BOOL wasVisible = w->sdlWindow ? ((SDL_GetWindowFlags(w->sdlWindow) & SDL_WINDOW_SHOWN) ? TRUE : FALSE)
                                  : (w->visible ? TRUE : FALSE);
  w->visible = command != SW_HIDE;
  if (command == SW_HIDE) {
    if (w->sdlWindow) SDL_HideWindow(w->sdlWindow);
  } else {
    if (w->sdlWindow) {
      SDL_ShowWindow(w->sdlWindow);
      SDL_RaiseWindow(w->sdlWindow);
    }
    if (!wasVisible) w->needsPaint = true;
  }
  return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND window) {
  if (port::shouldFail(port::FailPoint::UpdateWindow)) return FALSE;
  WindowRecord* w = findWindow(window);
  if (!w) return FALSE;
  if (w->needsPaint) w->procedure(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL WINAPI ValidateRect(HWND window, const RECT*) {
  WindowRecord* w = findWindow(window);
  if (!w) return FALSE;
  w->needsPaint = false;
  return TRUE;
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
  // There are no cursor resources: any cursor shows the system arrow. The previous
  // handle is only known as "none" or "the arrow".
  static HCURSOR current = nullptr;
  static int arrowTag;
  HCURSOR previous = current;
  current = cursor ? reinterpret_cast<HCURSOR>(&arrowTag) : nullptr;
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(cursor ? SDL_ENABLE : SDL_DISABLE);
  return previous;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CLOSE:
    DestroyWindow(window);
    return 0;
  case WM_SYSKEYDOWN:
    if (wParam == VK_F4 && (lParam & KeyContextAltBit)) {
      if (WindowRecord* w = findWindow(window)) w->procedure(window, WM_CLOSE, 0, 0);
    }
    return 0;
  case WM_PAINT:
    ValidateRect(window, nullptr);
    return 0;
  default:
    return 0;
  }
}
