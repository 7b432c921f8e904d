#pragma once
// Test hooks: make a chosen platform call fail, read back the message boxes shown, and
// read the back buffer of the last Present. Thread-safe; all off by default.
#include <cstdint>
#include <string>
#include <vector>

namespace port {

enum class FailPoint {
  Direct3DCreate8,
  CreateDeviceHal,
  CreateDeviceRef,
  Reset,
  CreateVertexBuffer,
  CreateTexture,
  WaveOutOpen,
  CreateWindowExA,
  UpdateWindow,
  Count
};

void setFailure(FailPoint point, bool fail);
bool shouldFail(FailPoint point); // called by the port layer at each failable call
void clearFailures();

struct MessageBoxRecord {
  std::string caption;
  std::string text;
};
void recordMessageBox(const char* caption, const char* text);
std::vector<MessageBoxRecord> messageBoxes(); // in the order they were shown
void clearMessageBoxes();

// The back buffer of the last Present, X8R8G8B8, tightly packed rows.
struct CapturedFrame {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint64_t presentCount = 0; // Presents since the hooks were reset
};
void recordPresent(const std::uint32_t* pixels, int width, int height, int pitch);
CapturedFrame lastPresent();
void resetPresents();

// Everything above back to its defaults.
void resetTestHooks();

} // namespace port
