#include "platform/launcher/options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>

#include "platform/port/virtualclock.h"

namespace launcher {
namespace {

// The show's own picture: a recording is never smaller.
constexpr int SmallestCaptureWidth = 640;
constexpr int SmallestCaptureHeight = 480;
constexpr int LargestCaptureWidth = 7680; // 8K UHD
constexpr int LargestCaptureHeight = 4320;
constexpr double LongestCaptureSeconds = 24.0 * 60 * 60;

// A whole decimal number within [lowest, highest] and nothing else.
bool parseWhole(std::string_view text, int lowest, int highest, int& number) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) return false;
  number = value;
  return true;
}

// A positive decimal number of seconds ("90", "2.5"), at most a day.
bool parseSeconds(std::string_view text, double& seconds) {
  double value = 0.0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) || value <= 0.0 ||
      value > LongestCaptureSeconds)
    return false;
  seconds = value;
  return true;
}

// "WxH" with both within the recording's limits.
bool parseSize(std::string_view text, int& width, int& height) {
  const std::size_t cross = text.find_first_of("xX");
  if (cross == std::string_view::npos) return false;
  return parseWhole(text.substr(0, cross), SmallestCaptureWidth, LargestCaptureWidth, width) &&
         parseWhole(text.substr(cross + 1), SmallestCaptureHeight, LargestCaptureHeight, height);
}

ParsedOptions failure(std::string error) {
  ParsedOptions p;
  p.error = std::move(error);
  return p;
}

bool endsWithNoCase(const std::string& text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                    [](char wanted, char given) { return std::tolower(static_cast<unsigned char>(given)) == wanted; });
}

// The capture's options need --capture, which in turn plays no window.
std::string captureConflict(const LaunchOptions& o, bool captureTuned) {
  if (o.captureKind == CaptureKind::None) return captureTuned ? "--fps, --seconds and --size need --capture OUT" : "";
  if (o.windowed || o.escapeAfterFrames > 0 || !o.screenshotPath.empty())
    return "--capture records without a window: --windowed, --escape-after and --screenshot do not apply";
  if (o.captureKind == CaptureKind::Mp4 && (o.captureWidth % 2 != 0 || o.captureHeight % 2 != 0))
    return "an .mp4 recording needs an even width and height (--size)";
  return {};
}

} // namespace

CaptureKind captureKindFor(const std::string& path) {
  if (path.empty()) return CaptureKind::None;
  if (path.back() == '/') return CaptureKind::Frames;
  if (endsWithNoCase(path, ".mp4")) return CaptureKind::Mp4;
  if (endsWithNoCase(path, ".mkv")) return CaptureKind::Mkv;
  std::error_code error;
  return std::filesystem::is_directory(path, error) ? CaptureKind::Frames : CaptureKind::None;
}

ParsedOptions parseLaunchOptions(int argc, const char* const* argv) {
  ParsedOptions parsed;
  LaunchOptions& o = parsed.options;
  bool captureTuned = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--windowed") {
      o.windowed = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    if (arg == "--escape-after") {
      if (!value || !parseWhole(value, 1, std::numeric_limits<int>::max(), o.escapeAfterFrames))
        return failure("--escape-after needs a number of frames (1 or more)");
    } else if (arg == "--screenshot") {
      if (!value || std::strlen(value) == 0) return failure("--screenshot needs a file name");
      o.screenshotPath = value;
    } else if (arg == "--capture") {
      if (!value || std::strlen(value) == 0) return failure("--capture needs an output: OUT.mp4, OUT.mkv or DIR/");
      o.capturePath = value;
      o.captureKind = captureKindFor(value);
      if (o.captureKind == CaptureKind::None)
        return failure("--capture " + o.capturePath +
                       ": say what to record: a name ending in .mp4 or .mkv, or a directory ending in /");
    } else if (arg == "--fps") {
      if (!value || !parseWhole(value, port::VirtualClock::MinFramesPerSecond,
                                port::VirtualClock::MaxFramesPerSecond, o.captureFramesPerSecond))
        return failure("--fps needs a whole number of frames per second from 1 to 240");
      captureTuned = true;
    } else if (arg == "--seconds") {
      if (!value || !parseSeconds(value, o.captureSeconds))
        return failure("--seconds needs a number of seconds above 0 (at most a day)");
      captureTuned = true;
    } else if (arg == "--size") {
      if (!value || !parseSize(value, o.captureWidth, o.captureHeight))
        return failure("--size needs WIDTHxHEIGHT from 640x480 to 7680x4320");
      captureTuned = true;
    } else {
      return failure("unknown option '" + std::string(arg) + "'");
    }
    ++i; // the option's value
  }
  if (std::string conflict = captureConflict(o, captureTuned); !conflict.empty()) return failure(conflict);
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
         "  --help                 show this text\n"
         "\n"
         "Recording (no display or sound device needed; faster than the show plays):\n"
         "  --capture OUT          record the show instead of showing it:\n"
         "                           OUT.mp4  H.264 and AAC (needs ffmpeg)\n"
         "                           OUT.mkv  lossless FFV1 and FLAC (needs ffmpeg)\n"
         "                           DIR/     frame000000.png, ... and audio.wav\n"
         "  --fps N                frames per second, 1 to 240 (default 60)\n"
         "  --seconds S            only the first S seconds (default: the whole show)\n"
         "  --size WxH             frame size, at least 640x480 (default); a larger size\n"
         "                         scales the picture by a whole factor, centred on black\n"
         "                         (1920x1080 for video sites)\n";
}

} // namespace launcher
