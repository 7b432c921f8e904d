#pragma once
// The still texts that open and close the show.
#include "platform/win32.h"

void drawTitle(DWORD t); // t is ignored
void drawCredits();
