#include "platform/launcher/display.h"

#include <SDL.h>

#include <cstring>

namespace launcher {
namespace {

bool isSet(const char* value) { return value && *value; }

constexpr const char* OffscreenDrivers[] = {"dummy", "offscreen"};

} // namespace

bool isOffscreenDriver(const char* driverName) {
  if (!driverName) return false;
  for (const char* d : OffscreenDrivers)
    if (SDL_strcasecmp(driverName, d) == 0) return true;
  return false;
}

std::string missingDisplay(const char* x11Display, const char* waylandDisplay,
                           const char* videoDriver) {
  if (isOffscreenDriver(videoDriver))
    return std::string("SDL_VIDEODRIVER=") + videoDriver + " selects a driver that shows nothing";
  if (!isSet(x11Display) && !isSet(waylandDisplay))
    return "no display to connect to (neither DISPLAY nor WAYLAND_DISPLAY is set)";
  return {};
}

std::string openDisplay() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
    return std::string("the display could not be opened (") + SDL_GetError() + ")";
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!isOffscreenDriver(driver)) return {};
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return std::string("SDL found no display and chose its '") + driver + "' driver";
}

} // namespace launcher
