#include "platform/port/capture.h"

namespace port {

CaptureSession::CaptureSession(CaptureEncoder& encoder, const CaptureSettings& settings)
    : encoder_(encoder), settings_(settings), clock_(settings.framesPerSecond), audio_(clock_),
      sink_(clock_, audio_, encoder_, settings.width, settings.height, settings.frameLimit) {}

CaptureSession::~CaptureSession() { uninstall(); }

void CaptureSession::install() {
  if (installed_) return;
  installed_ = true;
  windowsBefore_ = windowOptions();
  WindowOptions headless = windowsBefore_;
  headless.headless = true;
  headless.vsync = false;
  setWindowOptions(headless);
  setDialogsShown(false); // message boxes go to standard error only
  setClock(&clock_);
  setAudioBackend(&audio_);
  setVideoSink(&sink_);
}

void CaptureSession::uninstall() {
  if (!installed_) return;
  installed_ = false;
  setVideoSink(nullptr);
  setAudioBackend(nullptr);
  setClock(nullptr);
  clock_.release();
  setWindowOptions(windowsBefore_);
}

std::string CaptureSession::end() {
  uninstall();
  return sink_.finish();
}

} // namespace port
