#include "platform/port/winmm.h"

#include "platform/port/backend.h"

DWORD WINAPI timeGetTime() { return port::clock().nowMs(); }
