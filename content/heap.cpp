#include "content/heap.h"

#include <cstdint>
#include <cstring>

#include "platform/win32.h"

namespace {
constexpr std::size_t HeapWordBytes = sizeof(std::uint32_t);
}

void* memAlloc(std::size_t bytes) {
  if (bytes > SIZE_MAX - 2 * HeapGuardBytes) return nullptr; // the guarded size would wrap
  auto* block = static_cast<unsigned char*>(
      HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes + 2 * HeapGuardBytes));
  return block ? block + HeapGuardBytes : nullptr;
}

int memFree(void* block) {
  if (!block) return TRUE;
  return HeapFree(GetProcessHeap(), 0, static_cast<unsigned char*>(block) - HeapGuardBytes);
}

void copyWords(void* destination, const void* source, std::size_t bytes) {
  std::memcpy(destination, source, bytes / HeapWordBytes * HeapWordBytes);
}
