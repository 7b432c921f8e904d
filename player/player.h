#pragma once
// The module player's public interface: one engine with player-wide state (one output
// device, one current song, one playback thread).
#include <cstdint>

struct Song;

// Opens the wave-out device at `rate` frames per second (16-bit stereo) and sizes the
// ring. False when the file operations are not all installed or the device won't open.
bool openOutput(std::int32_t rate);
// Resets and closes the device; harmless when nothing is open.
void closeOutput();

// Renders the whole ring, starts the device's endless loop and the playback thread.
bool startSong(Song* song);
// Stops the playback thread and releases the playback buffers; the device keeps cycling
// the last ring until closeOutput.
bool stopSong(Song* song);
// Waits until no block render is in progress, stops playback, frees the song.
bool freeSong(Song* song);

// Ticks per minute x 2/5; applies from the next tick.
void setBpm(Song* song, std::int32_t bpm);

// Position of the block being heard; 0 when nothing plays.
int getPlayingOrder(Song* song);
int getPlayingRow(Song* song);
std::int32_t getPlayingTimeMs(Song* song); // milliseconds of song rendered up to that block
