#pragma once
// Timeline state 5: the height field as a turning, depth-shaded landscape.
#include "content/mesh.h"
#include "platform/d3d8.h"

// `t`: the clock value (milliseconds). Writes the mesh's screen, colour and vertex
// arrays. 0, also when the vertex buffer's lock is refused (that frame's draw is skipped);
// E_FAIL when the draw fails, or when the mesh lacks an array or has more cells than the
// shared vertex buffer holds (nothing is drawn).
HRESULT drawTerrainScene(DWORD t, HeightMesh& mesh);
