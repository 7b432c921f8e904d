#pragma once
// Running the whole show in-process on SDL's dummy video driver: a video sink that
// records what was presented and can act at a chosen frame, and a fixture that puts
// the port, the shell and the direction globals back to their start values.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/port/backend.h"

struct PresentedFrame {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels; // X8R8G8B8, tightly packed
};

class RecordingSink final : public port::VideoSink {
public:
  bool present(const port::FrameView& frame) override;

  // Called after frame n (1-based, the white start-up frame is 1) was recorded.
  std::function<void(int)> onFrame;
  int failFrom = 0; // present() fails from this frame on; 0: never
  // A run that should have ended by now is ended by failing its frame (so a broken
  // shutdown shows up as a failed expectation, not a hung test).
  int frameLimit = 1000;

  int frames = 0;
  int framesAfterShutdown = 0;
  PresentedFrame first;
  PresentedFrame last;
};

class ShellRun : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Runs WinMain to its end.
  int runShow();
  // The captions and texts of the message boxes shown so far, as "caption|text".
  std::vector<std::string> boxes() const;

  RecordingSink sink;
};

// Pushes an SDL key press (and release) as the keyboard would.
void pushKey(int sdlKey);
// Pushes the window manager's close request for the show's window.
void pushCloseButton();
