#pragma once
// Inside the port layer: the window table and the message queue shared by the user32
// sources and the window backend. Main thread only.
#include <SDL.h>

#include <string>

#include "platform/port/user32.h"

namespace port::detail {

// Bits of a key message's lParam, as the platform packs them.
constexpr LPARAM KeyRepeatCountOne = 1;
constexpr int KeyScanCodeShift = 16;
constexpr LPARAM KeyScanCodeMask = 0xFF;
constexpr LPARAM KeyContextAltBit = LPARAM(1) << 29;
constexpr LPARAM KeyPreviousDownBit = LPARAM(1) << 30;
constexpr LPARAM KeyTransitionUpBit = LPARAM(1) << 31;

struct WindowRecord {
  HWND handle = nullptr;
  WNDPROC procedure = nullptr;
  std::string className;
  SDL_Window* sdlWindow = nullptr; // null for a headless window
  bool visible = false;            // what a headless window keeps of ShowWindow
  // Presentation resources of the window backend, made on its first present and
  // destroyed with the window.
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* frameTexture = nullptr;
  int textureWidth = 0;
  int textureHeight = 0;
  bool needsPaint = false; // an invalid region: WM_PAINT is due
  bool destroying = false; // WM_DESTROY is being sent
};

// The live window with this handle, or nullptr.
WindowRecord* findWindow(HWND window);
// The one live window, or nullptr.
WindowRecord* liveWindow();
// The window procedure of a registered class, or nullptr.
WNDPROC classProcedure(const char* className);
void forgetClasses();
// Brings up SDL's video subsystem once; false when it cannot start.
bool ensureVideo();
void destroyPresentation(WindowRecord& window);

// The queue: posted messages in arrival order.
void enqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool isQueued(HWND window, UINT message);
void dropMessagesFor(HWND window);
void clearQueue();

// Turns pending SDL events into queued messages for the live window.
void pumpEvents();
// The virtual-key code of an SDL key.
UINT virtualKeyFor(SDL_Keycode key);

} // namespace port::detail
