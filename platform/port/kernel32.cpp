// kernel32 subset: the process heap and Sleep. Threads live in threads.cpp.
#include "platform/port/kernel32.h"

#include <cstdlib>

#include "platform/port/backend.h"
#include "platform/port/testhooks.h"

namespace {
// The one process heap. Blocks come from the C runtime; the handle only identifies it.
int processHeapTag;
} // namespace

HANDLE WINAPI GetProcessHeap() { return &processHeapTag; }

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  if (heap != GetProcessHeap() || port::shouldFail(port::FailPoint::HeapAlloc)) return nullptr;
  // malloc(0) may return null; a zero-byte block is still a valid block on Windows.
  SIZE_T size = bytes ? bytes : 1;
  return (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, size) : std::malloc(size);
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD, LPVOID block) {
  if (heap != GetProcessHeap()) return FALSE;
  std::free(block);
  return TRUE;
}

void WINAPI Sleep(DWORD milliseconds) { port::clock().sleepMs(milliseconds); }
