#pragma once
// What the shell shares with every drawing part of the show: the render size, the
// window, the Direct3D objects and the one vertex layout.
#include "platform/win32.h"
#include "platform/d3d8.h"

extern const char windowTitle[]; // window class, title and every message box caption
extern int screenWidth;          // 640, or 320 after the software fallback
extern int screenHeight;         // 480, or 200 after the software fallback
extern HWND mainWindow;

extern IDirect3D8* direct3D;
extern IDirect3DDevice8* device;
extern IDirect3DVertexBuffer8* sharedVertexBuffer; // 30 000 ScreenVertex, written from 0 by every draw

// The only vertex layout the show draws with: pre-transformed, coloured, one texture.
struct ScreenVertex {
  float x, y, z, rhw;
  DWORD diffuse; // ARGB
  float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);

constexpr DWORD ScreenVertexFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1; // 0x144
constexpr UINT SharedVertexCount = 30000;

// Message box captioned windowTitle, then a quit request to mainWindow.
void showError(const char* text);

// The globals above back to their start values (640 x 480, no window, no objects).
void resetShellGlobals();
