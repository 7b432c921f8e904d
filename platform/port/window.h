#pragma once
// How the launcher and the tests set up the window side of the port layer. The show
// never sees this.
#include <cstdint>
#include <vector>

#include "platform/port/backend.h"

namespace port {

struct WindowOptions {
  bool fullScreen = true; // false: a normal, resizable window with a title bar
  bool vsync = true;      // present once per display refresh (the presentation interval)
  // No SDL window at all (the capture): the window exists for the show, with its class,
  // messages and visibility, but nothing opens on any screen and SDL video stays off.
  bool headless = false;
};
void setWindowOptions(const WindowOptions& options);
WindowOptions windowOptions();

// Whether MessageBoxA also shows SDL's modal box (only with a real display; off by
// default, so tests and headless runs never block on a dialog).
void setDialogsShown(bool shown);

// Destroys the window without sending messages, forgets every class, empties the queue
// and shows the pointer again: a clean state for the next run in the same process.
void resetWindowing();

// The picture as it appears in the window: the frame scaled to fit with its aspect
// ratio kept, centred, black bars filling the rest. Sizes in pixels.
struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
ScreenRect letterboxRect(int windowWidth, int windowHeight, int frameWidth, int frameHeight);

// The window backend: shows each presented frame in the SDL window of the one window
// (letterboxed), waiting for the display refresh when WindowOptions::vsync is set.
// present() fails when there is no window or SDL cannot draw into it.
class WindowSink final : public VideoSink {
public:
  bool present(const FrameView& frame) override;

  // Keep a copy of the whole window picture at every present (costs a read-back per
  // frame; off by default).
  void keepShownPicture(bool keep) { keepShown_ = keep; }
  // The last window picture kept: X8R8G8B8, tightly packed rows; empty if none.
  const std::vector<std::uint32_t>& shownPicture() const { return shown_; }
  int shownWidth() const { return shownWidth_; }
  int shownHeight() const { return shownHeight_; }

private:
  bool keepShown_ = false;
  std::vector<std::uint32_t> shown_;
  int shownWidth_ = 0;
  int shownHeight_ = 0;
};

} // namespace port
