#include "content/sharedvertices.h"

#include "content/heap.h"

namespace {
constexpr UINT LockFromStart = 0;
constexpr DWORD LockFlagsNone = 0;
} // namespace

bool fillSharedVertices(const void* vertices, UINT bytes, UINT lockBytes) {
  BYTE* locked = nullptr;
  if (FAILED(sharedVertexBuffer->Lock(LockFromStart, lockBytes, &locked, LockFlagsNone)) || !locked) return false;
  copyWords(locked, vertices, bytes);
  sharedVertexBuffer->Unlock();
  return true;
}

void useSharedVertices() {
  device->SetStreamSource(0, sharedVertexBuffer, sizeof(ScreenVertex));
  device->SetVertexShader(ScreenVertexFormat);
}
