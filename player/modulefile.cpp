#include "player/modulefile.h"

#include <cstdlib>

namespace {
// Player-wide: installed once by the host before the player is used.
FileCallbacks installed{};
} // namespace

void installFileCallbacks(FileOpenOperation open, FileCloseOperation close, FileReadOperation read,
                          FileSeekOperation seek, FileTellOperation tell) {
  if (open && close && read && seek && tell) {
    installed = {open, close, read, seek, tell};
  } else {
    installed = {};
  }
}

bool fileCallbacksInstalled() {
  return installed.open && installed.close && installed.read && installed.seek && installed.tell;
}

ModuleFile* moduleOpen(const void* source) {
  // Opening before installation would call through a null pointer; it fails instead.
  if (!fileCallbacksInstalled()) return nullptr;
  auto* file = static_cast<ModuleFile*>(std::calloc(1, sizeof(ModuleFile)));
  if (!file) return nullptr;
  file->handle = installed.open(source);
  if (!file->handle) {
    std::free(file);
    return nullptr;
  }
  return file;
}

void moduleClose(ModuleFile* file) {
  if (!file) return;
  installed.close(file->handle);
  std::free(file);
}

std::int32_t moduleRead(void* destination, std::int32_t count, ModuleFile* file) {
  if (!file) return 0;
  return installed.read(destination, count, file->handle);
}

void moduleSeek(ModuleFile* file, std::int32_t offset, std::uint8_t origin) {
  if (!file) return;
  installed.seek(file->handle, offset, origin);
}

std::int32_t moduleTell(ModuleFile* file) {
  if (!file) return 0;
  return installed.tell(file->handle);
}
