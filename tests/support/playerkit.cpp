#include "tests/support/playerkit.h"

#include <gtest/gtest.h>

#include <deque>

#include "player/channel.h"
#include "player/ring.h"

XmModule constantModule(int channels, int rows, int length, std::int16_t value) {
  XmModule module;
  module.numChannels = static_cast<std::uint16_t>(channels);
  module.orders = {0};
  module.addPattern(rows);
  module.instruments.push_back(XmInstrument::withSample(XmSample::pcm8(std::vector<std::int16_t>(length, value))));
  return module;
}

XmSample sawSample(int length) {
  std::vector<std::int16_t> values(length);
  for (int k = 0; k < length; ++k) values[k] = static_cast<std::int16_t>(k % 256 - 128);
  return XmSample::pcm8(values);
}

SongPtr loadModule(const XmModule& module) {
  static std::deque<std::vector<std::uint8_t>> kept; // the byte files outlive their loads
  kept.push_back(writeXm(module));
  const char* reason = nullptr;
  SongPtr song = loadSongBytes(kept.back(), nullptr, &reason);
  EXPECT_NE(song, nullptr) << (reason ? reason : "");
  return song;
}

void beginSong(Song* song) {
  configureRing(44100);
  resetSongPosition(song);
}

void runTicks(Song* song, int ticks) {
  for (int i = 0; i < ticks; ++i) song->tickHandler(song);
}

std::vector<std::pair<int, int>> playedRows(Song* song, int rows) {
  std::vector<std::pair<int, int>> played;
  while (static_cast<int>(played.size()) < rows) {
    const bool rowStart = song->tick == 0;
    song->tickHandler(song);
    if (rowStart) played.emplace_back(song->orderPos, song->row);
  }
  return played;
}
