#pragma once
// Filling and binding the one vertex buffer every drawing operation goes through.
#include "shell/globals.h"

// Locks sharedVertexBuffer from offset 0 for `lockBytes` (flags 0), copies `bytes` of
// `vertices` to its start with copyWords and unlocks. False, with nothing copied, when the
// lock fails: the caller then skips its draw.
bool fillSharedVertices(const void* vertices, UINT bytes, UINT lockBytes);
inline bool fillSharedVertices(const void* vertices, UINT bytes) { return fillSharedVertices(vertices, bytes, bytes); }

// Stream 0 = sharedVertexBuffer with the ScreenVertex stride; vertex shader = its format.
void useSharedVertices();
