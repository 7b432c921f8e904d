#pragma once
// Direct3D 8 names the show calls: the real header on Windows, our software device
// elsewhere.
#ifdef _WIN32
#include <windows.h>
#include <d3d8.h>
#else
#include "platform/port/win32types.h"
#include "platform/port/d3d8.h"
#endif
