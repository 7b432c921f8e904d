#include "direction/globals.h"

#include "direction/timeline.h"

// The scene shown until the song's position first picks one.
constexpr int FirstTimelineState = 3;

int timelineState = FirstTimelineState;
Song* demoSong = nullptr;

BitmapFont sansFontDim{};
BitmapFont sansFontLight{};
BitmapFont serifFontDim{};
BitmapFont serifFontLight{};

IDirect3DTexture8* stoneTexture = nullptr;
IDirect3DTexture8* spotTexture = nullptr;
IDirect3DTexture8* emberTexture = nullptr;
IDirect3DTexture8* glowTexture = nullptr;

HeightMesh demoMesh{};
std::int32_t flashLevel = 0;

void resetDirectionGlobals() {
  timelineState = FirstTimelineState;
  demoSong = nullptr;
  sansFontDim = sansFontLight = serifFontDim = serifFontLight = BitmapFont{};
  stoneTexture = spotTexture = emberTexture = glowTexture = nullptr;
  demoMesh = HeightMesh{};
  flashLevel = 0;
  resetTimeline();
}
