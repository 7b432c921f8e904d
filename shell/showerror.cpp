#include "shell/globals.h"

void showError(const char* text) {
  MessageBoxA(mainWindow, text, windowTitle, MB_OK);
  PostMessageA(mainWindow, WM_QUIT, 0, 0);
}
