// Note periods: the linear table (64 units per semitone) and the Amiga table (four times
// the classic Amiga period), plus the shared lookup of a channel's instrument and sample.
#include "player/channel.h"

#include <cmath>

#include "content/maths.h"

namespace {

// base(m) = nearest(2^((AmigaTopNote - m) / 12) x AmigaPeriodScale)
constexpr double AmigaTopNote = 132.0;
constexpr double SemitonesPerOctave = 12.0;
constexpr double AmigaPeriodScale = 13.375;
// Notes the table is built for: any byte-sized real note plus an arpeggio of up to 15
// semitones and one neighbour, with room to spare.
constexpr int AmigaTableNotes = 512;
constexpr std::int32_t FinetuneDivisor = 128;

constexpr std::int32_t LinearTopPeriod = 7680;
constexpr std::int32_t LinearUnitsPerNote = 64;
constexpr std::int32_t LinearFinetuneDivisor = 2;

struct AmigaTable {
  std::int32_t base[AmigaTableNotes];
  AmigaTable() {
    for (int m = 0; m < AmigaTableNotes; ++m)
      base[m] = static_cast<std::int32_t>(
          roundToInt(std::pow(2.0, (AmigaTopNote - m) / SemitonesPerOctave) * AmigaPeriodScale));
  }
};

// Built before main (no guarded function-local static, so no lock and no unwinding code).
const AmigaTable amigaTable;

std::int32_t amigaBase(std::int32_t note) {
  if (note < 0 || note >= AmigaTableNotes) // outside every note a song can reach
    return static_cast<std::int32_t>(
        roundToInt(std::pow(2.0, (AmigaTopNote - note) / SemitonesPerOctave) * AmigaPeriodScale));
  return amigaTable.base[note];
}

} // namespace

std::int32_t amigaPeriod(std::int32_t note, std::int32_t finetune) {
  const std::int32_t p0 = amigaBase(note);
  if (finetune < 0 && note != 0)
    return p0 - ((p0 - amigaBase(note - 1)) * -finetune) / FinetuneDivisor;
  return p0 + ((amigaBase(note + 1) - p0) * finetune) / FinetuneDivisor;
}

std::int32_t notePeriod(const Song* song, std::int32_t note, std::int32_t finetune) {
  if (song->flags & SongFlagLinear)
    return LinearTopPeriod - LinearUnitsPerNote * note - finetune / LinearFinetuneDivisor;
  return amigaPeriod(note, finetune);
}

ChannelSound lookUpSound(Song* song, Channel& channel) {
  if (channel.instrument >= song->numInstruments) {
    emptySample.data = nullptr; // the shared empty sample stays all-zero
    return {&emptyInstrument, &emptySample};
  }
  Instrument& instrument = song->instruments[channel.instrument];
  Sample* sample = &emptySample;
  if (channel.note < InstrumentNoteMap) {
    const std::uint8_t k = instrument.sampleForNote[channel.note];
    if (k < InstrumentSampleSlots) sample = instrument.samples[k];
  }
  return {&instrument, sample};
}

Pattern& currentPattern(Song* song) { return song->patterns[song->orderTable[song->orderPos]]; }

const NoteCell& currentCell(Song* song, int channel) {
  return currentPattern(song).cells[song->row * song->numChannels + channel];
}
