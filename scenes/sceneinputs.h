#pragma once
// What the scenes read that the direction makes: the four fonts, the four textures and
// the height field (filled once by initDemo), and the flash level (written by the frame
// function in every frame that draws a flash). Defined in direction/globals.cpp.
#include <cstdint>

#include "content/font.h"
#include "content/mesh.h"
#include "platform/d3d8.h"

extern BitmapFont sansFontDim;
extern BitmapFont sansFontLight;
extern BitmapFont serifFontDim;
extern BitmapFont serifFontLight;

extern IDirect3DTexture8* stoneTexture; // 512 x 512 enlarged stone: cube field, terrain
extern IDirect3DTexture8* spotTexture;  // 16 x 16 soft spot: sprite spiral
extern IDirect3DTexture8* emberTexture; // 512 x 512 warm-shifted stone: backdrop
extern IDirect3DTexture8* glowTexture;  // 256 x 256 radial glow: the sync flash

extern HeightMesh demoMesh; // the terrain's 40 x 40 height field

// Intensity of the flash last drawn: 0 to 260, the milliseconds left of the flash / 5.
// Keeps its value between flashes.
extern std::int32_t flashLevel;
