#pragma once
// Timeline state 3: a turning block of 315 pulsing, tinted cubes.
#include "platform/d3d8.h"

// `t`: the clock value (milliseconds). 0, or E_FAIL when the draw fails.
HRESULT drawCubeFieldScene(DWORD t);
