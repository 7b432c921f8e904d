#pragma once
// Timeline state 4: a sentence written backwards along eight writhing strands.
#include "content/font.h"
#include "platform/d3d8.h"

// `t`: the clock value (milliseconds); `font` is only read. 480 drawText calls of one
// character each. Always 0.
HRESULT drawStrandScene(DWORD t, const BitmapFont& font);
