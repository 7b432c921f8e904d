#pragma once
// Scripted runs: a sink in front of the window that presses Escape after a number of
// frames (a real SDL key event, so it takes the same road as a key on the keyboard),
// and saving the window's last picture.
#include <string>

#include "platform/port/window.h"

namespace launcher {

class FrameScript final : public port::VideoSink {
public:
  // escapeAfterFrames 0: never press anything.
  FrameScript(port::VideoSink& shown, int escapeAfterFrames)
      : shown_(shown), escapeAfterFrames_(escapeAfterFrames) {}
  bool present(const port::FrameView& frame) override;
  int framesShown() const { return framesShown_; }

private:
  port::VideoSink& shown_;
  int escapeAfterFrames_;
  int framesShown_ = 0;
};

// Pushes an Escape press and release into SDL's event queue.
void pressEscape();

// Writes the window's last kept picture as a 24-bit BMP file. Empty on success, else
// what went wrong.
std::string saveShownPicture(const port::WindowSink& sink, const std::string& path);

} // namespace launcher
