#pragma once
// Loading songs from bytes in tests: file operations over a byte vector (passed to
// createSong as its source) and an owning pointer that frees what the loader built.
#include <cstdint>
#include <memory>
#include <vector>

#include "player/song.h"

// Installs open/close/read/seek/tell operations whose source is a
// `const std::vector<std::uint8_t>*`. The vector must outlive the load.
void installByteFileCallbacks();
// Files opened through those operations and not yet closed.
int openByteFiles();

struct SongDataDeleter {
  void operator()(Song* song) const { freeSongData(song); }
};
using SongPtr = std::unique_ptr<Song, SongDataDeleter>;

// Installs the byte-file operations and loads; null when the loader refuses (reason then
// says why, if asked for).
SongPtr loadSongBytes(const std::vector<std::uint8_t>& bytes,
                      SampleDataCallback sampleDataCallback = nullptr,
                      const char** reason = nullptr);
