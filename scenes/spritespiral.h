#pragma once
// Timeline state 2: seven tumbling spiral arms of glowing sprites.
#include "platform/d3d8.h"

// `t`: the clock value (milliseconds); reads flashLevel. Allocates its vertex array on the
// first call and reuses it. 0, also when the vertex buffer's lock is refused (that frame's
// draw is skipped); E_FAIL when the draw fails or the heap refuses the array.
HRESULT drawSpriteSpiralScene(DWORD t);
