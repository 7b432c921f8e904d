#include "platform/launcher/framescript.h"

#include <SDL.h>

namespace launcher {
namespace {

void pushKey(Uint32 type, SDL_Keycode key, SDL_Scancode scancode) {
  SDL_Event e{};
  e.type = type;
  e.key.type = type;
  e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  e.key.keysym.sym = key;
  e.key.keysym.scancode = scancode;
  SDL_PushEvent(&e);
}

constexpr int PictureBytesPerPixel = 4;

} // namespace

void pressEscape() {
  pushKey(SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
  pushKey(SDL_KEYUP, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
}

bool FrameScript::present(const port::FrameView& frame) {
  bool shown = shown_.present(frame);
  ++framesShown_;
  if (escapeAfterFrames_ > 0 && framesShown_ == escapeAfterFrames_) pressEscape();
  return shown;
}

std::string saveShownPicture(const port::WindowSink& sink, const std::string& path) {
  if (sink.shownPicture().empty()) return "no picture was shown";
  // SDL only reads the pixels; the surface does not own them.
  void* pixels = const_cast<std::uint32_t*>(sink.shownPicture().data());
  SDL_Surface* picture = SDL_CreateRGBSurfaceWithFormatFrom(
      pixels, sink.shownWidth(), sink.shownHeight(), 32,
      sink.shownWidth() * PictureBytesPerPixel, SDL_PIXELFORMAT_RGB888);
  if (!picture) return SDL_GetError();
  SDL_Surface* packed = SDL_ConvertSurfaceFormat(picture, SDL_PIXELFORMAT_BGR24, 0);
  SDL_FreeSurface(picture);
  if (!packed) return SDL_GetError();
  int saved = SDL_SaveBMP(packed, path.c_str());
  SDL_FreeSurface(packed);
  return saved == 0 ? std::string() : std::string(SDL_GetError());
}

} // namespace launcher
