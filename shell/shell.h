#pragma once
// The application shell's operations: device setup, the window procedure and shutdown.
#include "platform/d3d8.h"
#include "platform/win32.h"

// Creates direct3D, device (hardware, or the reference device at 320 x 200) with its
// depth buffer, presents one white frame, sets the run-long render states and creates
// sharedVertexBuffer. 0, or E_FAIL after the failure's own message (if it has one).
HRESULT initDirect3D(HWND window);

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Stops the music and releases the Direct3D objects. Runs once: later requests (the
// close button brings WM_CLOSE, WM_DESTROY and WM_QUIT) find nothing left to do.
void shutdownDemo();
// True once shutdownDemo has run: no frame may be drawn after that.
bool demoShutDown();

// The shell's globals back to their start values (for running the show more than once
// in one process, as the tests do). The Direct3D objects are not released here.
void resetShell();
