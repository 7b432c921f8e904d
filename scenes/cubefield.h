#pragma once
// Timeline state 3: a turning block of 315 pulsing, tinted cubes.
#include "platform/d3d8.h"

// `t`: the clock value (milliseconds); reads flashLevel. Allocates its arrays on the first
// call and reuses them. 0, also when the vertex buffer's lock is refused (that frame's draw
// is skipped); E_FAIL when the draw fails or the heap refuses the arrays.
HRESULT drawCubeFieldScene(DWORD t);
