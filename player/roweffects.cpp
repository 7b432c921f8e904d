// The effect column on tick 0: parameters into the channel's memories, one-shot changes,
// and the song-position effects (jump, break, loop, delay, speed).
#include "player/rowstate.h"

#include <algorithm>

#include "player/effects.h"
#include "player/mixer.h"
#include "player/player.h"

namespace {

constexpr std::uint8_t VibratoWaveformBits = 0x0F;
constexpr std::uint8_t TremoloWaveformBits = 0xF0;
constexpr std::uint8_t TremorTicksBase = 1; // Txy: x + 1 ticks on, y + 1 off

void patternBreak(Song* song, std::int32_t x, std::int32_t y, const RowState& row) {
  const std::int32_t target = BreakRowTens * x + y;
  song->nextRow = target > BreakRowMax ? 0 : target;
  if (!row.jumpSeen) song->nextOrder = song->orderPos + 1;
  if (song->nextOrder >= song->songLength) song->nextOrder = 0;
}

void positionJump(Song* song, std::uint8_t order, RowState& row) {
  song->nextOrder = order >= song->songLength ? 0 : order;
  song->nextRow = 0;
  row.jumpSeen = true;
}

void patternLoop(Song* song, Channel& c, std::int32_t y, RowState& row) {
  if (y == 0) {
    c.loopStartRow = song->row;
    return;
  }
  if (c.loopCount == 0) c.loopCount = y;
  else c.loopCount -= 1;
  if (c.loopCount != 0) row.loopTarget = c.loopStartRow;
}

void sampleOffset(Channel& c, std::uint8_t param, const Sample& sample) {
  if (param) c.sampleOffsetMemory = param;
  const std::uint32_t offset = static_cast<std::uint32_t>(c.sampleOffsetMemory) * SampleOffsetUnit;
  if (offset >= sample.loopStart + sample.loopLength) {
    c.updateFlags = static_cast<std::uint8_t>((c.updateFlags & ~Trigger) | Rewind);
  } else {
    c.voice->startOffset = offset;
  }
}

void extendedEffect(Song* song, Channel& c, std::uint8_t x, std::uint8_t y, Sample& sample,
                    const ChannelBefore& before, RowState& row) {
  switch (x) {
  case ExtendedFinePortaUp:
    if (y) c.finePortaUpMemory = y;
    c.period -= PortaPeriodStep * c.finePortaUpMemory;
    break;
  case ExtendedFinePortaDown:
    if (y) c.finePortaDownMemory = y;
    c.period += PortaPeriodStep * c.finePortaDownMemory;
    break;
  case ExtendedVibratoWaveform: c.waveforms = static_cast<std::uint8_t>((c.waveforms & TremoloWaveformBits) | y); break;
  case ExtendedFinetune:
    // Raw nibble, kept by the sample for later notes; the shared empty sample stays zero.
    if (&sample != &emptySample) sample.finetune = static_cast<std::int8_t>(y);
    break;
  case ExtendedPatternLoop: patternLoop(song, c, y, row); break;
  case ExtendedTremoloWaveform:
    c.waveforms = static_cast<std::uint8_t>((c.waveforms & VibratoWaveformBits) | (y << NibbleShift));
    break;
  case ExtendedCoarsePanning:
    c.panning = y * CoarsePanningStep;
    c.updateFlags |= UpdatePanning;
    break;
  case ExtendedFineVolumeUp:
    if (y) c.fineVolumeSlideMemory = y;
    raiseVolume(c, c.fineVolumeSlideMemory);
    break;
  case ExtendedFineVolumeDown:
    if (y) c.fineVolumeSlideMemory = y;
    lowerVolume(c, c.fineVolumeSlideMemory);
    break;
  case ExtendedNoteDelay:
    c.volume = before.volume;
    c.period = before.period;
    c.panning = before.panning;
    c.updateFlags &= ~(UpdateFrequency | UpdateVolume | UpdatePanning | Trigger);
    break;
  case ExtendedPatternDelay: song->patternDelayTicks = y * song->speed; break;
  default: break; // E0y, E3y, E9y, ECy, EFy: nothing on tick 0
  }
}

void extraFinePorta(Channel& c, std::uint8_t x, std::uint8_t y) {
  if (x == ExtraFinePortaUp) {
    if (y) c.extraFinePortaUpMemory = y;
    c.period -= c.extraFinePortaUpMemory;
  } else if (x == ExtraFinePortaDown) {
    if (y) c.extraFinePortaDownMemory = y;
    c.period += c.extraFinePortaDownMemory;
  }
}

} // namespace

void applyRowEffect(Song* song, Channel& c, const NoteCell& cell, const ChannelSound& sound,
                    const ChannelBefore& before, RowState& row) {
  const std::uint8_t xy = cell.param;
  const std::uint8_t x = xy >> NibbleShift, y = xy & NibbleMask;
  switch (cell.effect) {
  case EffectPortaUp: if (xy) c.portaUpMemory = xy; break;
  case EffectPortaDown: if (xy) c.portaDownMemory = xy; break;
  case EffectTonePorta:
    if (xy) c.portaSpeed = xy;
    c.portaTarget = c.notePeriod;
    c.updateFlags &= ~(Trigger | UpdateFrequency);
    break;
  case EffectVibrato:
    if (x) c.vibratoSpeed = x;
    if (y) c.vibratoDepth = y;
    computeVibrato(c);
    break;
  case EffectTonePortaVolumeSlide:
    c.portaTarget = c.notePeriod;
    if (xy) c.volumeSlideMemory = xy;
    c.updateFlags &= ~(Trigger | UpdateFrequency);
    break;
  case EffectVibratoVolumeSlide:
    if (xy) c.volumeSlideMemory = xy;
    computeVibrato(c);
    break;
  case EffectTremolo:
    if (x) c.tremoloSpeed = x;
    if (y) c.tremoloDepth = y;
    break;
  case EffectSetPanning:
    c.panning = xy;
    c.updateFlags |= UpdatePanning;
    break;
  case EffectSampleOffset: sampleOffset(c, xy, *sound.sample); break;
  case EffectVolumeSlide: if (xy) c.volumeSlideMemory = xy; break;
  case EffectPositionJump: positionJump(song, xy, row); break;
  case EffectSetVolume:
    c.volume = xy;
    c.updateFlags |= UpdateVolume;
    break;
  case EffectPatternBreak: patternBreak(song, x, y, row); break;
  case EffectExtended: extendedEffect(song, c, x, y, *sound.sample, before, row); break;
  case EffectSpeed:
    if (xy < SpeedBpmFirst) song->speed = xy;
    else setBpm(song, xy);
    break;
  case EffectGlobalVolume:
    song->globalVolume = std::min<std::int32_t>(xy, VolumeMax);
    c.updateFlags |= UpdateVolume;
    break;
  case EffectGlobalVolumeSlide: if (xy) song->globalVolumeSlideMemory = xy; break;
  case EffectEnvelopePosition:
    if (sound.instrument->volumeType & EnvelopeOn) setVolumeEnvelopePosition(c, *sound.instrument, xy);
    break;
  case EffectPanningSlide:
    if (xy) {
      c.panningSlideMemory = xy;
      c.updateFlags |= UpdatePanning;
    }
    break;
  case EffectMultiRetrig:
    if (xy) {
      c.retrigVolumeChange = x;
      c.retrigInterval = y;
    }
    break;
  case EffectTremor:
    if (xy) {
      c.tremorOnTicks = static_cast<std::uint8_t>(x + TremorTicksBase);
      c.tremorOffTicks = static_cast<std::uint8_t>(y + TremorTicksBase);
    }
    stepTremor(c);
    break;
  case EffectExtraFinePorta: extraFinePorta(c, x, y); break;
  default: break; // arpeggio and K act elsewhere; unknown types do nothing
  }
}
