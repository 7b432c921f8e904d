#pragma once
// The playback thread: keeps the device's ring fresh behind its play cursor.
#include "platform/mmsystem.h"

// Creates the thread (time-critical priority) polling `device`. The ring must be primed.
void startPlayback(HWAVEOUT device);
// Asks the thread to stop and waits until it has; harmless when none runs.
void stopPlayback();
// Busy-waits while the thread is inside a block render.
void waitWhileMixing();
