// Message boxes: always on standard error and in the test record; on screen only when
// a display is there.
#include <atomic>
#include <cstdio>

#include "platform/port/testhooks.h"
#include "platform/port/window.h"
#include "platform/port/windowstate.h"

namespace port {
namespace {
std::atomic<bool> dialogsShown{false};

Uint32 sdlBoxFlags(UINT type) {
  switch (type & MB_ICONMASK) {
  case MB_ICONERROR:
    return SDL_MESSAGEBOX_ERROR;
  case MB_ICONWARNING:
    return SDL_MESSAGEBOX_WARNING;
  default:
    return SDL_MESSAGEBOX_INFORMATION;
  }
}
} // namespace

void setDialogsShown(bool shown) { dialogsShown.store(shown); }

} // namespace port

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  const char* shownText = text ? text : "";
  const char* shownCaption = caption ? caption : "Error"; // the platform's default caption
  std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
  std::fflush(stderr);
  port::recordMessageBox(shownCaption, shownText);
  if (port::dialogsShown.load()) {
    port::detail::WindowRecord* w = port::detail::findWindow(owner);
    // A box SDL cannot show has still been reported on standard error.
    SDL_ShowSimpleMessageBox(port::sdlBoxFlags(type), shownCaption, shownText,
                             w ? w->sdlWindow : nullptr);
  }
  return IDOK;
}
