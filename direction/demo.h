#pragma once
// The demo's start-up and its frame, called by the shell.
#include "platform/win32.h"

// Builds the content and starts the music. 0, or E_FAIL after its message was shown.
HRESULT initDemo();
// Draws and presents one frame. 0, or E_FAIL when a Direct3D step fails.
HRESULT renderFrame();

// initDemo's first steps: the four fonts, the four textures and the mesh, each failure
// shown with its message. 0, or E_FAIL. Also what the scenes' tests build on.
HRESULT makeDemoContent();
