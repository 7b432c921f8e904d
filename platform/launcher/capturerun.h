#pragma once
// nyra --capture: the show recorded through the port's capture backend, with progress
// on standard error and one clear line when anything goes wrong.
#include "platform/launcher/options.h"

namespace launcher {

// The show's length up to its quit row (order 29, row 51), in seconds: what a recording
// of the whole show comes to. Only used for the progress report.
constexpr double ShowSeconds = 152.55;

// Runs WinMain under the capture. The process's exit status: 0 recorded; 1 the
// recording failed (its partial output removed); 130 interrupted (Ctrl-C).
int runCapture(const LaunchOptions& options);

// The number of frames for `seconds` at `framesPerSecond`: those that start before it.
long long framesFor(double seconds, int framesPerSecond);

} // namespace launcher
