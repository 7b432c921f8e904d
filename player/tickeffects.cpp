// The ticks after the first of a row: envelopes and fadeout, the volume column's slides,
// and the continuous effects of the same cells tick 0 read.
#include "player/channel.h"

#include <algorithm>

#include "player/effects.h"

namespace {

constexpr std::int32_t ArpeggioPhases = 3;
constexpr std::int32_t LinearUnitsPerSemitone = 64;
constexpr std::int32_t PortaUpPeriodMin = 56;
constexpr std::uint8_t NibbleHigh = 16; // a memory at or above this has a high nibble

std::int32_t arpeggioOffset(const Song* song, const Channel& c, std::int32_t semitones, const Sample& sample) {
  if (song->flags & SongFlagLinear) return LinearUnitsPerSemitone * semitones;
  return amigaPeriod(c.realNote + semitones, sample.finetune) - amigaPeriod(c.realNote, sample.finetune);
}

void volumeColumnTick(Channel& c, std::uint8_t v) {
  const std::int32_t y = v & NibbleMask;
  switch (v >> NibbleShift) {
  case VolumeColumnSlideDown: lowerVolume(c, y); break;
  case VolumeColumnSlideUp: raiseVolume(c, y); break;
  case VolumeColumnVibratoDepth:
    c.vibratoDepth = static_cast<std::uint8_t>(y);
    computeVibrato(c);
    advanceVibrato(c);
    break;
  case VolumeColumnPanSlideLeft: shiftPanning(c, -y); break;
  case VolumeColumnPanSlideRight: shiftPanning(c, y); break;
  case VolumeColumnTonePorta: stepTonePortamento(c); break;
  default: break; // below 0x60, and 0x8y, 0x9y, 0xAy, 0xCy: tick 0 only
  }
}

// New volume for Rxy's volume change x, from v; 0 means no change at all.
std::int32_t retrigVolume(std::uint8_t change, std::int32_t v) {
  switch (change) {
  case 1: return v - 1;
  case 2: return v - 2;
  case 3: return v - 4;
  case 4: return v - 8;
  case 5: return v - 16;
  case 6: return (2 * v) / 3;
  case 7: return v / 2;
  case 9: return v + 1;
  case 10: return v + 2;
  case 11: return v + 4;
  case 12: return v + 8;
  case 13: return v + 16;
  case 14: return (3 * v) / 2;
  case 15: return 2 * v;
  default: return v; // 8: unchanged, still clamped and sent
  }
}

void multiRetrig(const Song* song, Channel& c) {
  const std::int32_t n = c.retrigInterval;
  if (n == 0 || song->tick % n != 0) return;
  if (c.retrigVolumeChange != 0) {
    c.volume = std::clamp(retrigVolume(c.retrigVolumeChange, c.volume), 0, VolumeMax);
    c.updateFlags |= UpdateVolume;
  }
  c.updateFlags |= Trigger;
}

void globalVolumeSlide(Song* song) {
  const std::uint8_t m = song->globalVolumeSlideMemory;
  if (m >= NibbleHigh) song->globalVolume = std::min<std::int32_t>(song->globalVolume + m / NibbleHigh, VolumeMax);
  else if (m & NibbleMask) song->globalVolume = std::max<std::int32_t>(song->globalVolume - (m & NibbleMask), 0);
}

void panningSlide(Channel& c) {
  const std::uint8_t m = c.panningSlideMemory;
  if (m >= NibbleHigh) c.panning = std::min<std::int32_t>(c.panning + m / NibbleHigh, PanningMax);
  else if (m & NibbleMask) c.panning = std::max<std::int32_t>(c.panning - (m & NibbleMask), 0);
  c.updateFlags |= UpdatePanning;
}

void noteDelay(Song* song, Channel& c, const NoteCell& cell, std::uint8_t y, const Sample& sample) {
  if (y != song->tick) {
    c.updateFlags &= ~(UpdateVolume | UpdateFrequency | UpdatePanning | Trigger);
    return;
  }
  resetFromSample(c, sample);
  c.period = c.notePeriod;
  c.updateFlags |= UpdateFrequency;
  if (cell.volume != 0) applyVolumeColumnOnRow(c, cell.volume);
  c.updateFlags |= Trigger;
}

void extendedTick(Song* song, Channel& c, const NoteCell& cell, const Sample& sample) {
  const std::uint8_t x = cell.param >> NibbleShift, y = cell.param & NibbleMask;
  switch (x) {
  case ExtendedRetrigger:
    if (y != 0 && song->tick % y == 0) c.updateFlags |= Trigger | UpdateVolume | UpdateFrequency;
    break;
  case ExtendedNoteCut:
    if (y == song->tick) {
      c.volume = 0;
      c.updateFlags |= UpdateVolume;
    }
    break;
  case ExtendedNoteDelay: noteDelay(song, c, cell, y, sample); break;
  default: break;
  }
}

void effectTick(Song* song, Channel& c, const NoteCell& cell, const Sample& sample) {
  const std::uint8_t xy = cell.param;
  switch (cell.effect) {
  case EffectArpeggio:
    if (xy == 0) break;
    switch (song->tick % ArpeggioPhases) {
    case 1: c.periodOffset = arpeggioOffset(song, c, xy >> NibbleShift, sample); break;
    case 2: c.periodOffset = arpeggioOffset(song, c, xy & NibbleMask, sample); break;
    default: break;
    }
    c.updateFlags |= UpdateFrequency;
    break;
  case EffectPortaUp:
    c.periodOffset = 0;
    c.period = std::max(c.period - PortaPeriodStep * c.portaUpMemory, PortaUpPeriodMin);
    c.updateFlags |= UpdateFrequency;
    break;
  case EffectPortaDown:
    c.periodOffset = 0;
    c.period += PortaPeriodStep * c.portaDownMemory;
    c.updateFlags |= UpdateFrequency;
    break;
  case EffectTonePorta:
    c.periodOffset = 0;
    stepTonePortamento(c);
    break;
  case EffectVibrato:
    computeVibrato(c);
    advanceVibrato(c);
    break;
  case EffectTonePortaVolumeSlide:
    c.periodOffset = 0;
    stepTonePortamento(c);
    slideVolume(c);
    break;
  case EffectVibratoVolumeSlide:
    computeVibrato(c);
    advanceVibrato(c);
    slideVolume(c);
    break;
  case EffectTremolo: stepTremolo(c); break;
  case EffectVolumeSlide: slideVolume(c); break;
  case EffectExtended: extendedTick(song, c, cell, sample); break;
  case EffectGlobalVolumeSlide: globalVolumeSlide(song); break;
  case EffectPanningSlide: panningSlide(c); break;
  case EffectMultiRetrig: multiRetrig(song, c); break;
  case EffectTremor: stepTremor(c); break;
  default: break; // the rest act on tick 0 only
  }
}

void channelTick(Song* song, int ch) {
  Channel& c = channels[ch];
  const NoteCell& cell = currentCell(song, ch);
  const ChannelSound sound = lookUpSound(song, c);
  const Instrument& instrument = *sound.instrument;
  c.volumeOffset = 0;
  c.periodOffset = 0;
  c.updateFlags = 0;
  if ((instrument.volumeType & EnvelopeOn) && !c.volEnvDone)
    stepEnvelope(c, volumeEnvelopeShape(instrument), volumeEnvelopeState(c), UpdateVolume);
  if ((instrument.panningType & EnvelopeOn) && !c.panEnvDone)
    stepEnvelope(c, panningEnvelopeShape(instrument), panningEnvelopeState(c), UpdatePanning);
  if (c.keyOff) {
    c.fadeoutVolume = std::max(c.fadeoutVolume - instrument.volumeFadeout, 0);
    c.updateFlags |= UpdateVolume;
  }
  volumeColumnTick(c, cell.volume);
  effectTick(song, c, cell, *sound.sample);
  stepAutoVibrato(c, instrument);
  updateVoice(c, sound.sample, song);
}

} // namespace

void processTickEffects(Song* song) {
  for (int ch = 0; ch < song->numChannels; ++ch) channelTick(song, ch);
}
