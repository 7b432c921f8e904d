#pragma once
// File access for the module player. The player never touches a file system: the host
// installs five operations once, before anything else in the player is used, and the
// player reads its module through them with a small handle of its own (ModuleFile).
// Positions, counts and offsets are in bytes.
#include <cstdint>

// Opens the source (passed through from createSong); returns a handle, null on failure.
using FileOpenOperation = void* (*)(const void* source);
// Closes the handle; the player ignores the result.
using FileCloseOperation = std::int32_t (*)(void* handle);
// Copies up to count bytes into destination; returns the number of bytes delivered.
using FileReadOperation = std::int32_t (*)(void* destination, std::int32_t count, void* handle);
// Moves the position; origin is one of the FileSeek values. The player ignores the result.
using FileSeekOperation = void* (*)(void* handle, std::int32_t offset, std::uint8_t origin);
// Current position.
using FileTellOperation = std::int32_t (*)(void* handle);

constexpr std::uint8_t FileSeekStart = 0;
constexpr std::uint8_t FileSeekCurrent = 1;
constexpr std::uint8_t FileSeekEnd = 2;

// The installed operations: all null until a complete set is installed.
struct FileCallbacks {
  FileOpenOperation open;
  FileCloseOperation close;
  FileReadOperation read;
  FileSeekOperation seek;
  FileTellOperation tell;
};

// The player's handle over an open module: a zeroed calloc record, released by moduleClose.
struct ModuleFile {
  void* handle; // from the installed open operation
};

// Stores all five when none is null; otherwise clears all five (the player is then unusable
// until a complete set is installed).
void installFileCallbacks(FileOpenOperation open, FileCloseOperation close, FileReadOperation read,
                          FileSeekOperation seek, FileTellOperation tell);
// True when a complete set is installed (openOutput refuses to work otherwise).
bool fileCallbacksInstalled();

// The wrappers the loader reads through. They assume a complete set is installed.
// Null when no complete set is installed or the open operation fails; the caller owns the
// result (moduleClose).
ModuleFile* moduleOpen(const void* source);
// Null does nothing.
void moduleClose(ModuleFile* file);
// Null file: 0. Otherwise the read operation's result unchanged.
std::int32_t moduleRead(void* destination, std::int32_t count, ModuleFile* file);
// Null does nothing.
void moduleSeek(ModuleFile* file, std::int32_t offset, std::uint8_t origin);
// Null file: 0.
std::int32_t moduleTell(ModuleFile* file);
