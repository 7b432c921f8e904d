#include "tests/support/songfile.h"

#include <algorithm>
#include <cstring>

#include "player/modulefile.h"

namespace {
struct ByteFile {
  const std::vector<std::uint8_t>* bytes;
  std::int64_t position;
};

int openFiles = 0;

void* byteOpen(const void* source) {
  if (!source) return nullptr;
  ++openFiles;
  return new ByteFile{static_cast<const std::vector<std::uint8_t>*>(source), 0};
}

std::int32_t byteClose(void* handle) {
  --openFiles;
  delete static_cast<ByteFile*>(handle);
  return 1;
}

std::int32_t byteRead(void* destination, std::int32_t count, void* handle) {
  auto* file = static_cast<ByteFile*>(handle);
  const auto size = static_cast<std::int64_t>(file->bytes->size());
  if (count <= 0) return 0;
  const std::int64_t n = std::min<std::int64_t>(count, size - file->position);
  if (n <= 0) return 0;
  std::memcpy(destination, file->bytes->data() + file->position, static_cast<std::size_t>(n));
  file->position += n;
  return static_cast<std::int32_t>(n);
}

void* byteSeek(void* handle, std::int32_t offset, std::uint8_t origin) {
  auto* file = static_cast<ByteFile*>(handle);
  const auto size = static_cast<std::int64_t>(file->bytes->size());
  std::int64_t target = file->position;
  if (origin == FileSeekStart) target = offset;
  if (origin == FileSeekCurrent) target = file->position + offset;
  if (origin == FileSeekEnd) target = size + offset;
  file->position = std::clamp<std::int64_t>(target, 0, size);
  return handle;
}

std::int32_t byteTell(void* handle) {
  return static_cast<std::int32_t>(static_cast<ByteFile*>(handle)->position);
}
} // namespace

void installByteFileCallbacks() {
  installFileCallbacks(byteOpen, byteClose, byteRead, byteSeek, byteTell);
}

int openByteFiles() { return openFiles; }

SongPtr loadSongBytes(const std::vector<std::uint8_t>& bytes, SampleDataCallback sampleDataCallback,
                      const char** reason) {
  installByteFileCallbacks();
  return SongPtr(createSongWithReason(&bytes, sampleDataCallback, reason));
}
