#pragma once
// The launcher's own options. The show itself takes none: these only set up the port.
#include <string>

namespace launcher {

struct LaunchOptions {
  bool windowed = false;      // a normal window instead of full screen
  bool help = false;
  int escapeAfterFrames = 0;  // press Escape once this many frames were shown; 0: never
  std::string screenshotPath; // write the window's last picture here (BMP); empty: no
};

struct ParsedOptions {
  bool ok = false;
  LaunchOptions options;
  std::string error; // what was wrong, when !ok
};

ParsedOptions parseLaunchOptions(int argc, const char* const* argv);
std::string usageText(const char* program);

} // namespace launcher
