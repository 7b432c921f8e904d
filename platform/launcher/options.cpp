#include "platform/launcher/options.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace launcher {
namespace {

// A whole, positive decimal number and nothing else.
bool parseFrameCount(std::string_view text, int& count) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value <= 0) return false;
  count = value;
  return true;
}

ParsedOptions failure(std::string error) {
  ParsedOptions p;
  p.error = std::move(error);
  return p;
}

} // namespace

ParsedOptions parseLaunchOptions(int argc, const char* const* argv) {
  ParsedOptions parsed;
  LaunchOptions& o = parsed.options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--windowed") {
      o.windowed = true;
    } else if (arg == "--help" || arg == "-h") {
      o.help = true;
    } else if (arg == "--escape-after") {
      if (!hasValue || !parseFrameCount(argv[i + 1], o.escapeAfterFrames))
        return failure("--escape-after needs a number of frames (1 or more)");
      ++i;
    } else if (arg == "--screenshot") {
      if (!hasValue || std::strlen(argv[i + 1]) == 0)
        return failure("--screenshot needs a file name");
      o.screenshotPath = argv[++i];
    } else {
      return failure("unknown option '" + std::string(arg) + "'");
    }
  }
  parsed.ok = true;
  return parsed;
}

std::string usageText(const char* program) {
  std::string name = program && *program ? program : "nyra";
  return "Usage: " + name + " [options]\n"
         "Plays the intro full screen. Escape quits; F1 to F5 pick a scene while the\n"
         "song allows it.\n"
         "\n"
         "Options:\n"
         "  --windowed             play in a normal window instead of full screen\n"
         "  --escape-after FRAMES  press Escape by itself once FRAMES frames were shown\n"
         "  --screenshot FILE      on exit, save the window's last picture as a BMP file\n"
         "  --help                 show this text\n";
}

} // namespace launcher
