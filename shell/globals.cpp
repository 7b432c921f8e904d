#include "shell/globals.h"

const char windowTitle[] = "Nyra Quorvatic 64k intro";

// The render size the show starts with; the software fallback switches to 320 x 200.
constexpr int HardwareScreenWidth = 640;
constexpr int HardwareScreenHeight = 480;

int screenWidth = HardwareScreenWidth;
int screenHeight = HardwareScreenHeight;
HWND mainWindow = nullptr;

IDirect3D8* direct3D = nullptr;
IDirect3DDevice8* device = nullptr;
IDirect3DVertexBuffer8* sharedVertexBuffer = nullptr;

void resetShellGlobals() {
  screenWidth = HardwareScreenWidth;
  screenHeight = HardwareScreenHeight;
  mainWindow = nullptr;
  direct3D = nullptr;
  device = nullptr;
  sharedVertexBuffer = nullptr;
}
