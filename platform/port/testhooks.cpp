#include "platform/port/testhooks.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <utility>

namespace port {
namespace {

std::array<std::atomic<bool>, static_cast<size_t>(FailPoint::Count)> failures{};
// One more than the calls still to succeed before a counted failure starts, so that the
// zero every entry starts with means none is set; 1 means fail from now on.
constexpr int NoCountedFailure = 0;
std::array<std::atomic<int>, static_cast<size_t>(FailPoint::Count)> successesLeft{};
std::array<std::atomic<int>, static_cast<size_t>(FailPoint::Count)> singleLeft{}; // as successesLeft
std::array<std::atomic<int>, static_cast<size_t>(FailPoint::Count)> calls{};

std::mutex hookMutex;
std::vector<MessageBoxRecord> shownBoxes;
CapturedFrame presented;
std::atomic<bool> drawsRecorded{false};
std::atomic<bool> picturesKept{true};
std::vector<DrawRecord> drawn;

} // namespace

void setFailure(FailPoint point, bool fail) {
  failures[static_cast<size_t>(point)].store(fail, std::memory_order_release);
}

void setFailureAfter(FailPoint point, int successes) {
  successesLeft[static_cast<size_t>(point)].store(successes + 1, std::memory_order_release);
}

bool shouldFail(FailPoint point) {
  const auto i = static_cast<size_t>(point);
  calls[i].fetch_add(1, std::memory_order_acq_rel);
  if (failures[i].load(std::memory_order_acquire)) return true;
  int single = singleLeft[i].load(std::memory_order_acquire);
  while (single > NoCountedFailure && !singleLeft[i].compare_exchange_weak(single, single - 1, std::memory_order_acq_rel)) {
  }
  if (single == 1) return true; // this call was the one, and the count is now spent
  int left = successesLeft[i].load(std::memory_order_acquire);
  while (left > 1 && !successesLeft[i].compare_exchange_weak(left, left - 1, std::memory_order_acq_rel)) {
  }
  return left == 1;
}

void setSingleFailureAfter(FailPoint point, int successes) {
  singleLeft[static_cast<size_t>(point)].store(successes + 1, std::memory_order_release);
}

int callsAt(FailPoint point) { return calls[static_cast<size_t>(point)].load(std::memory_order_acquire); }

void clearFailures() {
  for (auto& f : failures) f.store(false, std::memory_order_release);
  for (auto& s : successesLeft) s.store(NoCountedFailure, std::memory_order_release);
  for (auto& s : singleLeft) s.store(NoCountedFailure, std::memory_order_release);
  for (auto& c : calls) c.store(0, std::memory_order_release);
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
  ++presented.presentCount;
  if (!picturesKept.load(std::memory_order_acquire)) return;
  presented.width = width;
  presented.height = height;
  presented.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    std::copy_n(pixels + static_cast<size_t>(y) * pitch, width, presented.pixels.data() + static_cast<size_t>(y) * width);
}

void keepPresentedPictures(bool keep) { picturesKept.store(keep, std::memory_order_release); }

CapturedFrame lastPresent() {
  std::lock_guard<std::mutex> lock(hookMutex);
  return presented;
}

void resetPresents() {
  std::lock_guard<std::mutex> lock(hookMutex);
  presented = CapturedFrame{};
}

void recordDraws(bool on) { drawsRecorded.store(on, std::memory_order_release); }

bool recordingDraws() { return drawsRecorded.load(std::memory_order_acquire); }

void recordDraw(DrawRecord record) {
  std::lock_guard<std::mutex> lock(hookMutex);
  drawn.push_back(std::move(record));
}

std::vector<DrawRecord> draws() {
  std::lock_guard<std::mutex> lock(hookMutex);
  return drawn;
}

void clearDraws() {
  std::lock_guard<std::mutex> lock(hookMutex);
  drawn.clear();
}

void resetTestHooks() {
  recordDraws(false);
  clearDraws();
  clearFailures();
  clearMessageBoxes();
  resetPresents();
  keepPresentedPictures(true);
}

} // namespace port
