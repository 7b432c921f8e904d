#pragma once
// Win32 user32/kernel32 names the show calls: the real headers on Windows, the port
// layer's own declarations elsewhere.
#ifdef _WIN32
#include <windows.h>
#else
#include "platform/port/win32types.h"
#include "platform/port/kernel32.h"
#include "platform/port/user32.h"
#endif
