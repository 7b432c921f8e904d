#pragma once
// Timeline state 2: seven tumbling spiral arms of glowing sprites.
#include "platform/d3d8.h"

// `t`: the clock value (milliseconds). 0, or E_FAIL when the draw fails.
HRESULT drawSpriteSpiralScene(DWORD t);
