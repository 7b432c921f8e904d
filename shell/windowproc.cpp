// The window procedure: no pointer, nothing painted by hand, Escape and F1 to F5, and
// every close or quit request turned into the shutdown.
#include "direction/globals.h"
#include "shell/shell.h"

namespace {

// F1 to F5 force timeline states 0 to 4.
constexpr WPARAM FirstStateKey = VK_F1;
constexpr WPARAM LastStateKey = VK_F5;

void handleKey(HWND window, WPARAM virtualKey) {
  if (virtualKey == VK_ESCAPE) {
    PostMessageA(window, WM_QUIT, 0, 0);
  } else if (virtualKey >= FirstStateKey && virtualKey <= LastStateKey) {
    timelineState = static_cast<int>(virtualKey - FirstStateKey);
  }
}

} // namespace

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_DESTROY:
  case WM_CLOSE:
  case WM_QUIT:
    shutdownDemo();
    PostMessageA(window, WM_QUIT, 0, 0);
    return DefWindowProcA(window, message, wParam, lParam);
  case WM_PAINT:
    ValidateRect(window, nullptr); // the picture comes from the device
    return 1;
  case WM_SETCURSOR:
    SetCursor(nullptr);
    return 1;
  case WM_KEYDOWN:
    handleKey(window, wParam);
    return 1; // every key is taken: no default processing
  default:
    return DefWindowProcA(window, message, wParam, lParam);
  }
}
