// The window backend: each presented frame goes into a streaming texture and is drawn
// letterboxed into the window.
#include <algorithm>
#include <cstdint>

#include "platform/port/window.h"
#include "platform/port/windowstate.h"

namespace port {
namespace {

// Frames are X8R8G8B8: SDL's RGB888 is the same layout with the top byte ignored.
constexpr Uint32 FramePixelFormat = SDL_PIXELFORMAT_RGB888;
constexpr int FrameBytesPerPixel = 4;

bool ensureRenderer(detail::WindowRecord& w) {
  if (w.renderer) return true;
  // Smooth scaling: the picture rarely maps to whole screen pixels.
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  Uint32 flags = windowOptions().vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
  w.renderer = SDL_CreateRenderer(w.sdlWindow, -1, flags);
  return w.renderer != nullptr;
}

bool ensureTexture(detail::WindowRecord& w, int width, int height) {
  if (w.frameTexture && w.textureWidth == width && w.textureHeight == height) return true;
  if (w.frameTexture) SDL_DestroyTexture(w.frameTexture);
  w.frameTexture = SDL_CreateTexture(w.renderer, FramePixelFormat, SDL_TEXTUREACCESS_STREAMING,
                                     width, height);
  w.textureWidth = w.frameTexture ? width : 0;
  w.textureHeight = w.frameTexture ? height : 0;
  return w.frameTexture != nullptr;
}

} // namespace

ScreenRect letterboxRect(int windowWidth, int windowHeight, int frameWidth, int frameHeight) {
  if (windowWidth <= 0 || windowHeight <= 0 || frameWidth <= 0 || frameHeight <= 0) return {};
  std::int64_t ww = windowWidth, wh = windowHeight, fw = frameWidth, fh = frameHeight;
  ScreenRect r;
  if (ww * fh <= wh * fw) { // the window is narrower than the frame: bars above and below
    r.width = windowWidth;
    r.height = static_cast<int>(std::min<std::int64_t>(wh, (ww * fh + fw / 2) / fw));
  } else { // bars left and right
    r.height = windowHeight;
    r.width = static_cast<int>(std::min<std::int64_t>(ww, (wh * fw + fh / 2) / fh));
  }
  r.x = (windowWidth - r.width) / 2;
  r.y = (windowHeight - r.height) / 2;
  return r;
}

bool WindowSink::present(const FrameView& frame) {
  detail::WindowRecord* w = detail::liveWindow();
  if (!w || !frame.pixels || frame.width <= 0 || frame.height <= 0) return false;
  if (!ensureRenderer(*w) || !ensureTexture(*w, frame.width, frame.height)) return false;
  if (SDL_UpdateTexture(w->frameTexture, nullptr, frame.pixels,
                        frame.pitch * FrameBytesPerPixel) != 0)
    return false;
  int outWidth = 0, outHeight = 0;
  if (SDL_GetRendererOutputSize(w->renderer, &outWidth, &outHeight) != 0) return false;
  ScreenRect r = letterboxRect(outWidth, outHeight, frame.width, frame.height);
  SDL_Rect target{r.x, r.y, r.width, r.height};
  SDL_SetRenderDrawColor(w->renderer, 0, 0, 0, SDL_ALPHA_OPAQUE);
  SDL_RenderClear(w->renderer);
  if (SDL_RenderCopy(w->renderer, w->frameTexture, nullptr, &target) != 0) return false;
  if (keepShown_) {
    shown_.resize(static_cast<std::size_t>(outWidth) * outHeight);
    if (SDL_RenderReadPixels(w->renderer, nullptr, FramePixelFormat, shown_.data(),
                             outWidth * FrameBytesPerPixel) == 0) {
      shownWidth_ = outWidth;
      shownHeight_ = outHeight;
    } else {
      shown_.clear();
      shownWidth_ = shownHeight_ = 0;
    }
  }
  SDL_RenderPresent(w->renderer);
  return true;
}

} // namespace port
