#pragma once
// Timeline state 5: the height field as a turning, depth-shaded landscape.
#include "content/mesh.h"
#include "platform/d3d8.h"

// `t`: the clock value (milliseconds). Writes the mesh's screen, colour and vertex
// arrays. 0, or E_FAIL when the draw fails.
HRESULT drawTerrainScene(DWORD t, HeightMesh& mesh);
