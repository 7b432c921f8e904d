#include "tests/shell/shellrun.h"

#include <SDL.h>

#include <cstdlib>

#include "direction/globals.h"
#include "platform/port/testhooks.h"
#include "platform/port/window.h"
#include "platform/port/windowstate.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/showleftovers.h"

namespace {

PresentedFrame copyFrame(const port::FrameView& f) {
  PresentedFrame p;
  p.width = f.width;
  p.height = f.height;
  p.pixels.reserve(static_cast<std::size_t>(f.width) * f.height);
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x)
      p.pixels.push_back(f.pixels[static_cast<std::size_t>(y) * f.pitch + x]);
  return p;
}

char noCommandLine[] = "";

} // namespace

bool RecordingSink::present(const port::FrameView& frame) {
  ++frames;
  if (demoShutDown()) ++framesAfterShutdown;
  last = copyFrame(frame);
  if (frames == 1) first = last;
  if (onFrame) onFrame(frames);
  if (frames >= frameLimit) return false;
  return failFrom == 0 || frames < failFrom;
}

void ShellRun::SetUp() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  // A test runner's timeout must end the process, not become a close request.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  port::resetTestHooks();
  port::resetWindowing();
  port::WindowOptions options;
  options.fullScreen = false; // the window keeps the size the show asks for
  options.vsync = false;
  port::setWindowOptions(options);
  resetShell();
  resetDirectionGlobals();
  port::setVideoSink(&sink);
}

void ShellRun::TearDown() {
  // Runs that ended without the shutdown (failed start-up or frame) leave objects behind.
  if (!demoShutDown()) shutdownDemo();
  releaseShowLeftovers();
  port::setVideoSink(nullptr);
  port::resetWindowing();
  port::resetTestHooks();
}

int ShellRun::runShow() { return WinMain(nullptr, nullptr, noCommandLine, SW_SHOWDEFAULT); }

std::vector<std::string> ShellRun::boxes() const {
  std::vector<std::string> shown;
  for (const port::MessageBoxRecord& b : port::messageBoxes())
    shown.push_back(b.caption + "|" + b.text);
  return shown;
}

void pushKey(int sdlKey) {
  for (Uint32 type : {Uint32(SDL_KEYDOWN), Uint32(SDL_KEYUP)}) {
    SDL_Event e{};
    e.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sdlKey;
    SDL_PushEvent(&e);
  }
}

void pushCloseButton() {
  port::detail::WindowRecord* w = port::detail::liveWindow();
  ASSERT_NE(w, nullptr);
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = SDL_WINDOWEVENT_CLOSE;
  e.window.windowID = SDL_GetWindowID(w->sdlWindow);
  SDL_PushEvent(&e);
}
