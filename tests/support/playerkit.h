#pragma once
// Small modules for the player's tests, and ways to drive the song logic without a device:
// tick by tick (no mixing) or block by block through the offline renderer.
#include <cstdint>
#include <utility>
#include <vector>

#include "player/song.h"
#include "tests/support/songfile.h"
#include "tests/support/xmwriter.h"

// A module of `channels` channels, one pattern of `rows` rows in order 0, speed 6, BPM
// 125, linear table, and instrument 1: `length` samples of the constant `value` (8-bit
// values: -128..127), unlooped, volume 64, panning 128.
XmModule constantModule(int channels = 1, int rows = 64, int length = 20000, std::int16_t value = 64);
// A 8-bit sample whose value k is (k % 256) - 128: easy to tell positions apart.
XmSample sawSample(int length);

// Loads a module (the bytes are kept alive by the kit). Fails the test on refusal.
SongPtr loadModule(const XmModule& module);

// Sets the player up at 44100 Hz (ring format, voices) and puts the song at its start,
// without a device.
void beginSong(Song* song);
// Calls the song's tick handler `ticks` times.
void runTicks(Song* song, int ticks);
// Runs the song until `rows` rows have started; returns (order, row) of each, in order.
std::vector<std::pair<int, int>> playedRows(Song* song, int rows);
