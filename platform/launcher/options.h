#pragma once
// The launcher's own options. The show itself takes none: these only set up the port.
#include <string>

namespace launcher {

// What a recording is written as, from the name given to --capture.
enum class CaptureKind {
  None,   // no recording: the show plays in its window
  Mp4,    // OUT.mp4: H.264 and AAC through ffmpeg
  Mkv,    // OUT.mkv: lossless FFV1 and FLAC through ffmpeg
  Frames, // OUT/ (or an existing directory): numbered PNG frames and audio.wav
};

// The kind for `path`: by its extension (either case), or Frames for a name ending in
// '/' or naming an existing directory; None when it is none of these.
CaptureKind captureKindFor(const std::string& path);

struct LaunchOptions {
  bool windowed = false;      // a normal window instead of full screen
  bool help = false;
  int escapeAfterFrames = 0;  // press Escape once this many frames were shown; 0: never
  std::string screenshotPath; // write the window's last picture here (BMP); empty: no

  // Recording instead of showing (--capture OUT).
  std::string capturePath;
  CaptureKind captureKind = CaptureKind::None;
  int captureFramesPerSecond = 60;
  double captureSeconds = 0.0; // only the first seconds; 0: the whole show
  int captureWidth = 640;
  int captureHeight = 480;
};

struct ParsedOptions {
  bool ok = false;
  LaunchOptions options;
  std::string error; // what was wrong, when !ok
};

ParsedOptions parseLaunchOptions(int argc, const char* const* argv);
std::string usageText(const char* program);

} // namespace launcher
