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
  HeapAlloc,
  Clear,
  BeginScene,
  Present,
  DrawPrimitive,
  LockVertexBuffer,
  Count
};

void setFailure(FailPoint point, bool fail);
// The next `successes` calls at `point` succeed, every later one fails (to fail, say, the
// third texture creation only from there on).
void setFailureAfter(FailPoint point, int successes);
// The call after the next `successes` at `point` fails, and only that one.
void setSingleFailureAfter(FailPoint point, int successes);
bool shouldFail(FailPoint point); // called by the port layer at each failable call
// How many calls reached `point` since the failures were last cleared.
int callsAt(FailPoint point);
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
// Whether Present copies its picture for lastPresent (on unless switched off). Runs that
// never look at it (the show itself, benchmarks) switch it off and keep only the count.
void keepPresentedPictures(bool keep);

// The draws of the device while recording is on: what each DrawPrimitive drew from.
struct DrawRecord {
  int primitiveType = 0; // a D3DPRIMITIVETYPE
  unsigned primitives = 0;
  const void* texture = nullptr;     // the IDirect3DTexture8 bound to stage 0, or null
  unsigned stride = 0;               // bytes per vertex
  std::vector<std::uint8_t> vertices; // the vertices read, as the stream held them
};
void recordDraws(bool on);
bool recordingDraws();
void recordDraw(DrawRecord record);
std::vector<DrawRecord> draws(); // in the order drawn
void clearDraws();

// Everything above back to its defaults.
void resetTestHooks();

} // namespace port
