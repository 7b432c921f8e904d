#pragma once
// The scrolling, stretching ember backdrop of timeline states 0, 1, 4 and 6.
#include "platform/d3d8.h"

// One quad 4.6 screens wide from x offset `xOffset`, textured with `texture`, scrolled
// and stretched by the clock value `t` (milliseconds). Blends with the factors in force.
// Returns the draw's result (the timeline ignores it).
HRESULT drawBackground(float xOffset, IDirect3DTexture8* texture, DWORD t);
