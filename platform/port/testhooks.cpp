#include "platform/port/testhooks.h"

#include <array>
#include <atomic>
#include <mutex>

namespace port {
namespace {

std::array<std::atomic<bool>, static_cast<size_t>(FailPoint::Count)> failures{};

std::mutex hookMutex;
std::vector<MessageBoxRecord> shownBoxes;
CapturedFrame presented;

} // namespace

void setFailure(FailPoint point, bool fail) {
  failures[static_cast<size_t>(point)].store(fail, std::memory_order_release);
}

bool shouldFail(FailPoint point) {
  return failures[static_cast<size_t>(point)].load(std::memory_order_acquire);
}

void clearFailures() {
  for (auto& f : failures) f.store(false, std::memory_order_release);
}

void recordMessageBox(const char* caption, const char* text) {
  std::lock_guard<std::mutex> lock(hookMutex);
  shownBoxes.push_back({caption ? caption : "", text ? text : ""});
}

std::vector<MessageBoxRecord> messageBoxes() {
  std::lock_guard<std::mutex> lock(hookMutex);
  return shownBoxes;
}

void clearMessageBoxes() {
  std::lock_guard<std::mutex> lock(hookMutex);
  shownBoxes.clear();
}

void recordPresent(const std::uint32_t* pixels, int width, int height, int pitch) {
  std::lock_guard<std::mutex> lock(hookMutex);
  presented.width = width;
  presented.height = height;
  presented.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      presented.pixels[static_cast<size_t>(y) * width + x] = pixels[static_cast<size_t>(y) * pitch + x];
  ++presented.presentCount;
}

CapturedFrame lastPresent() {
  std::lock_guard<std::mutex> lock(hookMutex);
  return presented;
}

void resetPresents() {
  std::lock_guard<std::mutex> lock(hookMutex);
  presented = CapturedFrame{};
}

void resetTestHooks() {
  clearFailures();
  clearMessageBoxes();
  resetPresents();
}

} // namespace port
