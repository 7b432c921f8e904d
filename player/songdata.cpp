// The shared empty sample and the release of everything the loader allocates.
#include <cstdlib>

#include "player/song.h"

Sample emptySample{};

namespace {
void freeInstrumentSamples(Instrument& instrument) {
  // Only the slots below numSamples belong to the instrument; the rest are &emptySample.
  for (int slot = 0; slot < instrument.numSamples && slot < InstrumentSampleSlots; ++slot) {
    Sample* sample = instrument.samples[slot];
    if (!sample || sample == &emptySample) continue;
    std::free(sample->data);
    std::free(sample);
  }
}
} // namespace

void freeSongData(Song* song) {
  if (!song) return;
  if (song->patterns) {
    for (int index = 0; index < song->numPatterns; ++index) std::free(song->patterns[index].cells);
    std::free(song->patterns);
  }
  if (song->instruments) {
    for (int index = 0; index < song->numInstruments; ++index)
      freeInstrumentSamples(song->instruments[index]);
    std::free(song->instruments);
  }
  std::free(song);
}
