#pragma once
// Whether there is a display to show the intro on. SDL quietly falls back to an
// off-screen driver when there is none, so SDL_Init succeeding proves nothing.
#include <string>

namespace launcher {

// What is missing, judged from the environment (DISPLAY, WAYLAND_DISPLAY and
// SDL_VIDEODRIVER; null means unset); empty when a display is named.
std::string missingDisplay(const char* x11Display, const char* waylandDisplay,
                           const char* videoDriver);

// True for SDL's video drivers that show nothing on any screen.
bool isOffscreenDriver(const char* driverName);

// Starts SDL's video with the environment's display. Empty on success, else what went
// wrong (SDL video is shut down again then).
std::string openDisplay();

} // namespace launcher
