// A hundred short runs of the whole show in one process, each ended by Escape at a
// random frame: every run goes through the shutdown, exits with 0 and shows nothing, and
// none leaves a thread behind (the sanitizer build also checks for leaks at exit).
#include <SDL.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "shell/shell.h"
#include "tests/shell/shellrun.h"

namespace {

int threadsInProcess() {
  int threads = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++threads;
  return threads;
}

class ShortRuns : public ShellRun {
protected:
  void restart() {
    TearDown();
    sink = RecordingSink();
    SetUp();
  }
};

TEST_F(ShortRuns, AHundredRunsEndedByEscapeAtRandomFramesLeaveNothingRunning) {
  std::mt19937 random(2002);
  int threadsAfterFirst = 0;
  for (int run = 0; run < 100; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    const int escapeAt = 2 + int(random() % 40);
    sink.onFrame = [&](int frame) {
      if (frame == escapeAt) pushKey(SDLK_ESCAPE);
    };
    EXPECT_EQ(runShow(), 0);
    EXPECT_TRUE(boxes().empty());
    EXPECT_TRUE(demoShutDown());
    EXPECT_EQ(sink.framesAfterShutdown, 0);
    EXPECT_GE(sink.frames, escapeAt);
    // SDL starts its own lasting threads on the first run; the show's playback thread
    // and the audio device's must be gone after every run.
    // A thread that was waited for may still be leaving the kernel for a moment.
    if (run == 0) threadsAfterFirst = threadsInProcess();
    for (int wait = 0; wait < 200 && threadsInProcess() > threadsAfterFirst; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(threadsInProcess(), threadsAfterFirst);
    restart();
  }
}

} // namespace
