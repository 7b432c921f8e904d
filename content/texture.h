#pragma once
// Moving a pixel buffer into a Direct3D texture.
#include "content/pixels.h"
#include "platform/d3d8.h"

// Creates a full-mip-chain A8R8G8B8 texture of the buffer's size in the default pool and
// fills level 0 from `image` (alpha 255 everywhere; the spare byte is ignored), through a
// system-memory staging texture and UpdateTexture. Uses `device`. Returns 0, or the
// failing call's HRESULT; `slot` is only written from the destination's creation on.
// The caller owns the texture in `slot`; `image` stays the caller's.
HRESULT uploadTexture(PixelBuffer image, IDirect3DTexture8** slot);
