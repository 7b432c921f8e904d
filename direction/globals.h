#pragma once
// The direction's globals that the shell reads or writes. What the scenes read (fonts,
// textures, mesh, flash level) is declared in scenes/sceneinputs.h and defined here too.
#include "platform/d3d8.h"
#include "scenes/sceneinputs.h"

struct Song;

extern int timelineState; // scene number 0 to 6; F1 to F5 force 0 to 4
extern Song* demoSong;    // the song made from the embedded module; null until made

// Back to the start values (state 3, no song, no textures, no flash fired), for running
// the show more than once in one process. Nothing is released here.
void resetDirectionGlobals();
