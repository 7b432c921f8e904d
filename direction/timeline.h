#pragma once
// The song-driven timeline behind renderFrame: the state per order position, each
// state's layers, the sync points and the flash. Main thread only.
#include <cstdint>

#include "platform/d3d8.h"

// The sync progress: syncIndex is the next entry of syncTable to fire (0 to 72),
// lastSyncPosition the position (order x 64 + row) of the last one fired (-1: none), and
// flashDeadline the timeGetTime value at which the current flash has faded out.
extern std::int32_t syncIndex;
extern std::int32_t lastSyncPosition;
extern DWORD flashDeadline;

// The state for order position `order`; `current` where the order keeps the state.
int timelineStateFor(int order, int current);
// True when the song at (order, row) has reached its end: the show asks to quit.
bool songAtItsEnd(int order, int row);
// Draws the layers of `state`, each with a fresh clock reading. E_FAIL as soon as a scene
// fails (the later layers are not drawn), else 0. Other states draw nothing.
HRESULT drawTimelineLayers(int state);
// Fires sync point (order, row) if the song has reached it: row and order are each
// compared on their own with a fresh reading of the heard position.
void checkSync(std::int32_t order, std::int32_t row);
// Adds `texture` over the whole screen darkened to grey `intensity` (0 to 260; 256 and
// above draw as 255). Leaves the additive blend factors set.
void drawFlash(IDirect3DTexture8* texture, DWORD intensity);

// The sync progress back to its start (no point fired, no flash), for the tests.
void resetTimeline();
