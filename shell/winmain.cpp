// The program's entry: the window class and window, the device, the demo, then the
// frame loop that draws whenever no message waits.
#include "direction/demo.h"
#include "shell/globals.h"
#include "shell/shell.h"

namespace {

constexpr UINT WindowClassStyle = CS_VREDRAW | CS_HREDRAW;
constexpr DWORD WindowStyle = WS_POPUP | WS_VISIBLE;
constexpr int WindowX = 0;
constexpr int WindowY = 0;

bool registerWindowClass(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.style = WindowClassStyle;
  windowClass.lpfnWndProc = windowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = windowTitle;
  return RegisterClassA(&windowClass) != 0;
}

// The start-up steps after the class; false once one has failed and said so.
bool startUp(HINSTANCE instance) {
  mainWindow = CreateWindowExA(0, windowTitle, windowTitle, WindowStyle, WindowX, WindowY,
                               screenWidth, screenHeight, nullptr, nullptr, instance, nullptr);
  if (!mainWindow) {
    showError("Win32app init failed!");
    return false;
  }
  if (initDirect3D(mainWindow) < 0) {
    showError("DirectX 8.1 init failed!");
    return false;
  }
  if (initDemo() < 0) {
    showError("Demoinit failed!");
    return false;
  }
  ShowWindow(mainWindow, SW_SHOWDEFAULT);
  if (!UpdateWindow(mainWindow)) {
    showError("Couldn't open window!");
    return false;
  }
  return true;
}

enum class LoopEnd { Quit, FrameFailed };

LoopEnd runFrameLoop() {
  MSG message{};
  while (message.message != WM_QUIT) {
    if (PeekMessageA(&message, mainWindow, 0, 0, PM_NOREMOVE)) {
      GetMessageA(&message, nullptr, 0, 0);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else if (demoShutDown()) {
      // The window was closed: the quit requests went with it and the device is gone.
      break;
    } else if (renderFrame() < 0) {
      PostMessageA(mainWindow, WM_QUIT, 0, 0);
      return LoopEnd::FrameFailed;
    }
  }
  return LoopEnd::Quit;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!registerWindowClass(instance)) return 0;
  if (!startUp(instance)) return 0;
  if (runFrameLoop() == LoopEnd::FrameFailed) return 0;
  UnregisterClassA(windowTitle, instance);
  return 0;
}
