#include "direction/globals.h"

// The scene shown until the song's position first picks one.
constexpr int FirstTimelineState = 3;

int timelineState = FirstTimelineState;
Song* demoSong = nullptr;
IDirect3DTexture8* stoneTexture = nullptr;
IDirect3DTexture8* spotTexture = nullptr;

void resetDirectionGlobals() {
  timelineState = FirstTimelineState;
  demoSong = nullptr;
  stoneTexture = nullptr;
  spotTexture = nullptr;
}
