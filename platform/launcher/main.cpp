// The Linux entry point: the port's own options, the display check, the window
// backend, then the show's WinMain (which, as on the platform, ignores its command line).
// With --capture the show is recorded instead: no display and no sound device needed.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "platform/launcher/capturerun.h"
#include "platform/launcher/display.h"
#include "platform/launcher/framescript.h"
#include "platform/launcher/options.h"
#include "platform/port/testhooks.h"
#include "platform/port/window.h"
#include "platform/win32.h"

namespace {

constexpr int ExitNoDisplay = 1;
constexpr int ExitUsage = 2;
char emptyCommandLine[] = "";

int play(const launcher::LaunchOptions& options) {
  port::WindowOptions window;
  window.fullScreen = !options.windowed;
  port::setWindowOptions(window);
  port::setDialogsShown(true);
  port::WindowSink windowSink;
  windowSink.keepShownPicture(!options.screenshotPath.empty());
  launcher::FrameScript script(windowSink, options.escapeAfterFrames);
  port::setVideoSink(&script);
  int result = WinMain(GetModuleHandleA(nullptr), nullptr, emptyCommandLine, SW_SHOWDEFAULT);
  port::setVideoSink(nullptr);
  if (!options.screenshotPath.empty()) {
    std::string error = launcher::saveShownPicture(windowSink, options.screenshotPath);
    if (!error.empty())
      std::fprintf(stderr, "nyra: no screenshot written to %s: %s\n",
                   options.screenshotPath.c_str(), error.c_str());
  }
  port::resetWindowing();
  return result;
}

} // namespace

int main(int argc, char** argv) {
  launcher::ParsedOptions parsed = launcher::parseLaunchOptions(argc, argv);
  std::string usage = launcher::usageText(argc > 0 ? argv[0] : nullptr);
  if (!parsed.ok) {
    std::fprintf(stderr, "nyra: %s\n%s", parsed.error.c_str(), usage.c_str());
    return ExitUsage;
  }
  if (parsed.options.help) {
    std::fputs(usage.c_str(), stdout);
    return 0;
  }
  // Nothing in this process reads the test record's copy of each presented picture.
  port::keepPresentedPictures(false);
  if (parsed.options.captureKind != launcher::CaptureKind::None) return launcher::runCapture(parsed.options);
  std::string missing = launcher::missingDisplay(
      std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), std::getenv("SDL_VIDEODRIVER"));
  if (missing.empty()) missing = launcher::openDisplay();
  if (!missing.empty()) {
    std::fprintf(stderr,
                 "nyra: cannot show the intro: %s.\n"
                 "Run it in a desktop session, or under a virtual X server: xvfb-run -a %s\n"
                 "or record it to a video instead: %s --capture show.mp4\n",
                 missing.c_str(), argc > 0 ? argv[0] : "nyra", argc > 0 ? argv[0] : "nyra");
    return ExitNoDisplay;
  }
  int result = play(parsed.options);
  SDL_Quit();
  return result;
}
