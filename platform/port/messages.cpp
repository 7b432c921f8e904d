// The message queue: posted messages in arrival order, WM_PAINT made on demand while
// the window needs painting, SDL events turned into messages whenever it is looked at.
#include <deque>

#include "platform/port/backend.h"
#include "platform/port/windowstate.h"

namespace port::detail {
namespace {

std::deque<MSG> queue;

// How long GetMessageA sleeps between looks at an empty queue, in milliseconds: SDL
// wakes it at once for events; posts from other code are seen within this time.
constexpr int MessageWaitMs = 10;

bool inRange(UINT message, UINT first, UINT last) {
  return (first == 0 && last == 0) || (message >= first && message <= last);
}

bool matches(const MSG& m, HWND window, UINT first, UINT last) {
  return (!window || m.hwnd == window) && inRange(m.message, first, last);
}

bool takePosted(MSG* out, HWND window, UINT first, UINT last, bool remove) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (!matches(*it, window, first, last)) continue;
    *out = *it;
    if (remove) queue.erase(it);
    return true;
  }
  return false;
}

// WM_PAINT is never queued: it is due while the window has an invalid region and
// nothing else waits, and stays due until the region is validated.
bool takePaint(MSG* out, HWND window, UINT first, UINT last) {
  WindowRecord* w = liveWindow();
  if (!w || !w->needsPaint || (window && window != w->handle)) return false;
  if (!inRange(WM_PAINT, first, last)) return false;
  *out = MSG{w->handle, WM_PAINT, 0, 0, port::clock().nowMs(), {0, 0}};
  return true;
}

} // namespace

void enqueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  queue.push_back(MSG{window, message, wParam, lParam, port::clock().nowMs(), {0, 0}});
}

bool isQueued(HWND window, UINT message) {
  for (const MSG& m : queue)
    if (m.hwnd == window && m.message == message) return true;
  return false;
}

void dropMessagesFor(HWND window) {
  std::erase_if(queue, [window](const MSG& m) { return m.hwnd == window; });
}

void clearQueue() { queue.clear(); }

} // namespace port::detail

using namespace port::detail;

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT options) {
  pumpEvents();
  if (!message || (window && !findWindow(window))) return FALSE;
  if (takePosted(message, window, first, last, (options & PM_REMOVE) != 0)) return TRUE;
  return takePaint(message, window, first, last) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
  if (!message) return -1;
  for (;;) {
    if (PeekMessageA(message, window, first, last, PM_REMOVE))
      return message->message == WM_QUIT ? FALSE : TRUE;
    if (window && !findWindow(window)) return -1;
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_WaitEventTimeout(nullptr, MessageWaitMs);
    else SDL_Delay(MessageWaitMs); // real time even under a virtual clock: nothing to wait for there
  }
}

BOOL WINAPI TranslateMessage(const MSG* message) {
  return message && (message->message == WM_KEYDOWN || message->message == WM_SYSKEYDOWN);
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  if (!message) return 0;
  WindowRecord* w = findWindow(message->hwnd);
  if (!w) return 0;
  return w->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !findWindow(window)) return FALSE;
  enqueue(window, message, wParam, lParam);
  return TRUE;
}
