#pragma once
// The caption overlays: swarms of a phrase, scrolling sentences and the jittering name.
// Each is a pure function of the clock value t (milliseconds), drawn additively.
#include "platform/win32.h"

void drawCultureCaptions(DWORD t); // states 1 and 2
void drawGrammeCaptions(DWORD t);  // states 3 and 5
void drawSpeedCaptions(DWORD t);   // state 4
