#include "direction/memoryfile.h"

#include <algorithm>
#include <cstring>

#include "content/heap.h"
#include "player/modulefile.h"

MemoryFile* openMemoryFile(const std::uint8_t* data, std::int32_t bytes) {
  auto* file = static_cast<MemoryFile*>(memAlloc(sizeof(MemoryFile)));
  if (!file) return nullptr;
  file->size = std::max<std::int32_t>(bytes, 0);
  file->position = 0;
  file->data = data;
  return file;
}

std::int32_t memoryClose(void* handle) { return memFree(handle); }

std::int32_t memoryRead(void* destination, std::int32_t count, void* handle) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (count <= 0) return 0;
  // 64-bit so that a huge count cannot overflow position + count.
  const std::int64_t available = std::int64_t{file->size} - file->position;
  const auto delivered = static_cast<std::int32_t>(std::min<std::int64_t>(count, available));
  if (delivered <= 0) return 0;
  std::memcpy(destination, file->data + file->position, static_cast<std::size_t>(delivered));
  file->position += delivered;
  return delivered;
}

void* memorySeek(void* handle, std::int32_t offset, std::uint8_t origin) {
  auto* file = static_cast<MemoryFile*>(handle);
  std::int64_t target = file->position;
  if (origin == FileSeekStart) target = offset;
  if (origin == FileSeekCurrent) target = std::int64_t{file->position} + offset;
  if (origin == FileSeekEnd) target = std::int64_t{file->size} + offset;
  file->position = static_cast<std::int32_t>(std::clamp<std::int64_t>(target, 0, file->size));
  return handle;
}

std::int32_t memoryTell(void* handle) { return static_cast<MemoryFile*>(handle)->position; }
