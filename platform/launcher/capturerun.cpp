#include "platform/launcher/capturerun.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/launcher/captureprogress.h"
#include "platform/port/capture.h"
#include "platform/port/captureffmpeg.h"
#include "platform/port/captureimages.h"
#include "platform/win32.h"

namespace launcher {
namespace {

constexpr int ExitRecorded = 0;
constexpr int ExitFailed = 1;
constexpr int ExitInterrupted = 130; // as a shell reports a process ended by Ctrl-C
// A frame starts before the limit unless it starts within this of it (decimal seconds
// such as 0.1 x 30 are not exact).
constexpr double FrameStartSlack = 1e-9;

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void onInterrupt(int) { interrupted.store(true); }

// Ctrl-C or a termination request ends the recording cleanly once; a second one ends
// the process at once (SA_RESETHAND). A file size limit shows as a failed write.
void watchSignals() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGXFSZ, SIG_IGN);
}

std::unique_ptr<port::CaptureEncoder> encoderFor(const LaunchOptions& o) {
  switch (o.captureKind) {
  case CaptureKind::Mp4:
    return std::make_unique<port::FfmpegEncoder>(o.capturePath, port::VideoKind::Mp4);
  case CaptureKind::Mkv:
    return std::make_unique<port::FfmpegEncoder>(o.capturePath, port::VideoKind::Mkv);
  default:
    return std::make_unique<port::ImageSequenceEncoder>(o.capturePath);
  }
}

const char* formatName(CaptureKind kind) {
  switch (kind) {
  case CaptureKind::Mp4:
    return "H.264 video and AAC sound";
  case CaptureKind::Mkv:
    return "lossless FFV1 video and FLAC sound";
  default:
    return "PNG frames and audio.wav";
  }
}

port::CaptureSettings settingsFor(const LaunchOptions& o) {
  port::CaptureSettings s;
  s.framesPerSecond = o.captureFramesPerSecond;
  s.width = o.captureWidth;
  s.height = o.captureHeight;
  s.frameLimit = o.captureSeconds > 0.0 ? framesFor(o.captureSeconds, o.captureFramesPerSecond) : 0;
  return s;
}

// `wallSeconds` from the start of the process, `recordingSeconds` from the first frame
// recorded (the show's start-up, making its content, comes before).
void reportDone(const LaunchOptions& o, const port::CaptureSink& sink, double wallSeconds, double recordingSeconds) {
  const auto frames = static_cast<double>(sink.framesRecorded());
  const double recorded = frames / o.captureFramesPerSecond;
  const double waited = sink.encoderSeconds();
  const double rendering = std::max(0.0, recordingSeconds - waited);
  std::fprintf(stderr,
               "nyra: recorded %.1f s of the show (%lld frames at %d fps) to %s in %.1f s, %.1fx real time\n"
               "nyra: the show made its frames in %.1f s (%.0f frames/s); handing them and the sound to the "
               "encoder took %.1f s\n",
               recorded, static_cast<long long>(sink.framesRecorded()), o.captureFramesPerSecond,
               o.capturePath.c_str(), wallSeconds, wallSeconds > 0.0 ? recorded / wallSeconds : 0.0, rendering,
               rendering > 0.0 ? frames / rendering : 0.0, waited);
}

char emptyCommandLine[] = "";

} // namespace

long long framesFor(double seconds, int framesPerSecond) {
  return static_cast<long long>(std::ceil(seconds * framesPerSecond - FrameStartSlack));
}

int runCapture(const LaunchOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  watchSignals(); // from here on, an interrupt ends the recording at its next frame
  std::unique_ptr<port::CaptureEncoder> encoder = encoderFor(options);
  const port::CaptureSettings settings = settingsFor(options);
  // Never destroyed: a thread the show might leave running still refers to its clock
  // until the process ends.
  static port::CaptureSession* session = nullptr;
  session = new port::CaptureSession(*encoder, settings);
  if (std::string error = session->prepare(); !error.empty()) {
    std::fprintf(stderr, "nyra: cannot record: %s\n", error.c_str());
    return ExitFailed;
  }
  const double expected = settings.frameLimit > 0 ? std::min(ShowSeconds, options.captureSeconds) : ShowSeconds;
  std::fprintf(stderr, "nyra: recording %s%.1f s of the show at %dx%d, %d fps, to %s (%s)\n",
               settings.frameLimit > 0 ? "the first " : "all ", expected, settings.width, settings.height,
               settings.framesPerSecond, options.capturePath.c_str(), formatName(options.captureKind));
  CaptureProgress progress(stderr, isatty(STDERR_FILENO) != 0, expected, settings.framesPerSecond);
  port::CaptureSink& sink = session->sink();
  sink.onFrame = [&](std::int64_t frames) {
    progress.frameRecorded(frames);
    if (interrupted.load()) sink.cancel("interrupted");
  };
  session->install();
  WinMain(GetModuleHandleA(nullptr), nullptr, emptyCommandLine, SW_SHOWDEFAULT);
  const double recordingSeconds = progress.wallSeconds(); // before the encoder finishes
  const std::string error = session->end();
  progress.finish();
  port::resetWindowing();
  if (!error.empty()) {
    std::fprintf(stderr, "nyra: recording failed: %s; nothing was kept (partial output removed)\n", error.c_str());
    return interrupted.load() ? ExitInterrupted : ExitFailed;
  }
  reportDone(options, sink, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
             recordingSeconds);
  return ExitRecorded;
}

} // namespace launcher
