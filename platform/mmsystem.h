#pragma once
// winmm names the show calls: wave-out and timeGetTime.
#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#else
#include "platform/port/win32types.h"
#include "platform/port/winmm.h"
#endif
