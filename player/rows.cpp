// The tick driver and tick-0 row processing: notes, instruments, the volume column,
// envelopes and fadeout, then the row's effect, for every channel in order.
#include "player/channel.h"

#include <algorithm>
#include <cstring>

#include "player/effects.h"
#include "player/mixer.h"
#include "player/player.h"
#include "player/rowstate.h"

Channel channels[ChannelCount];
Instrument emptyInstrument;

namespace {

constexpr std::int32_t NoPosition = -1;
constexpr std::uint8_t WaveformNoRetrigger = 4; // waveforms from 4 keep their position
constexpr std::uint8_t TremoloWaveShift = 4;

bool isNote(std::uint8_t note) { return note != NoteNone && note != NoteKeyOff; }

bool isTonePortaCell(const NoteCell& cell) {
  return cell.effect == EffectTonePorta || cell.effect == EffectTonePortaVolumeSlide ||
         cell.volume >= VolumeColumnTonePortaFirst;
}

// Where the row after `song->row` is, unless an effect has said so already.
void planNextRow(Song* song) {
  if (song->nextRow != NoPosition) return;
  song->nextRow = song->row + 1;
  if (song->nextRow >= currentPattern(song).rows) {
    song->nextOrder = song->orderPos + 1;
    if (song->nextOrder >= song->songLength) song->nextOrder = song->restartPosition;
    song->nextRow = 0;
  }
}

void processChannel(Song* song, int ch, const NoteCell& cell, RowState& row) {
  Channel& c = channels[ch];
  const bool tonePorta = isTonePortaCell(cell);
  if (cell.instrument != 0 && !tonePorta) c.instrument = static_cast<std::uint8_t>(cell.instrument - 1);
  if (isNote(cell.note) && !tonePorta) c.note = static_cast<std::uint8_t>(cell.note - 1);
  const ChannelSound sound = lookUpSound(song, c);
  const Instrument& instrument = *sound.instrument;
  const Sample& sample = *sound.sample;
  const ChannelBefore before{c.volume, c.period, c.panning};

  if (c.lastEffect == EffectTremolo && cell.effect != EffectTremolo) c.volume += c.volumeOffset;
  c.lastEffect = cell.effect;
  c.volumeOffset = 0;
  c.updateFlags = 0;
  if (isNote(cell.note)) {
    c.realNote = static_cast<std::uint8_t>(cell.note + sample.relativeNote - 1);
    c.notePeriod = notePeriod(song, c.realNote, sample.finetune);
    if (!tonePorta) c.period = c.notePeriod;
    c.updateFlags = Trigger;
  }
  c.periodOffset = 0;
  c.updateFlags |= UpdateFrequency | UpdateVolume;
  if (cell.instrument != 0) resetFromSample(c, sample);
  if (cell.volume != 0) applyVolumeColumnOnRow(c, cell.volume);
  if (cell.note == NoteKeyOff || cell.effect == EffectKeyOff) c.keyOff = 1;

  if (instrument.volumeType & EnvelopeOn) {
    if (!c.volEnvDone) stepEnvelope(c, volumeEnvelopeShape(instrument), volumeEnvelopeState(c), UpdateVolume);
  } else if (c.keyOff) {
    c.volEnvOutput = 0; // no envelope: a released note is cut
  }
  if ((instrument.panningType & EnvelopeOn) && !c.panEnvDone)
    stepEnvelope(c, panningEnvelopeShape(instrument), panningEnvelopeState(c), UpdatePanning);
  if (c.keyOff) {
    c.fadeoutVolume = std::max(c.fadeoutVolume - instrument.volumeFadeout, 0);
    c.updateFlags |= UpdateVolume;
  }

  applyRowEffect(song, c, cell, sound, before, row);
  stepAutoVibrato(c, instrument);
  updateVoice(c, sound.sample, song);
}

} // namespace

void playTick(Song* song) {
  if (song->tick != 0) {
    processTickEffects(song);
  } else {
    if (song->nextOrder >= 0) song->orderPos = song->nextOrder;
    if (song->nextRow >= 0) song->row = song->nextRow;
    // A break or loop to a row this pattern lacks plays its first row instead.
    if (song->row >= currentPattern(song).rows) song->row = 0;
    processRow(song);
    planNextRow(song);
  }
  song->tick += 1;
  if (song->tick >= song->speed + song->patternDelayTicks) {
    song->patternDelayTicks = 0;
    song->tick = 0;
  }
}

void processRow(Song* song) {
  song->nextOrder = song->nextRow = NoPosition;
  RowState row;
  for (int ch = 0; ch < song->numChannels; ++ch) processChannel(song, ch, currentCell(song, ch), row);
  if (song->nextRow == NoPosition && row.loopTarget >= 0) song->nextRow = row.loopTarget;
}

void resetFromSample(Channel& c, const Sample& sample) {
  c.volume = sample.volume;
  c.panning = sample.panning;
  c.volEnvOutput = EnvelopeVolumeFull;
  c.volEnvPoint = c.volEnvTick = c.volEnvStep = 0;
  c.volEnvDone = 0;
  c.panEnvOutput = EnvelopePanningCentre;
  c.panEnvPoint = c.panEnvTick = c.panEnvStep = 0;
  c.panEnvDone = 0;
  c.keyOff = 0;
  c.fadeoutVolume = FadeoutFull;
  c.autoVibratoSweep = 0;
  c.autoVibratoPosition = 0;
  if ((c.waveforms & NibbleMask) < WaveformNoRetrigger) c.vibratoPosition = 0;
  if ((c.waveforms >> TremoloWaveShift) < WaveformNoRetrigger) c.tremoloPosition = 0;
  c.tremorCounter = 0;
  c.updateFlags |= UpdateVolume | UpdatePanning;
}

void applyVolumeColumnOnRow(Channel& c, std::uint8_t v) {
  const std::int32_t y = v & NibbleMask;
  if (v >= VolumeColumnSetFirst && v <= VolumeColumnSetLast) {
    c.volume = v - VolumeColumnSetFirst;
    c.updateFlags |= UpdateVolume;
    return;
  }
  switch (v >> NibbleShift) {
  case VolumeColumnSlideDown:
  case VolumeColumnFineDown: lowerVolume(c, y); break;
  case VolumeColumnSlideUp:
  case VolumeColumnFineUp: raiseVolume(c, y); break;
  case VolumeColumnVibratoSpeed: c.vibratoSpeed = static_cast<std::uint8_t>(y); break;
  case VolumeColumnVibratoDepth: c.vibratoDepth = static_cast<std::uint8_t>(y); break;
  case VolumeColumnPanning:
    c.panning = y * CoarsePanningStep;
    c.updateFlags |= UpdatePanning;
    break;
  case VolumeColumnPanSlideLeft: shiftPanning(c, -y); break;
  case VolumeColumnPanSlideRight: shiftPanning(c, y); break;
  case VolumeColumnTonePorta:
    if (y) c.portaSpeed = static_cast<std::uint8_t>(y * VolumeColumnPortaSpeedStep);
    c.portaTarget = c.notePeriod;
    c.updateFlags &= ~Trigger;
    break;
  default: break; // 0x01..0x0F and 0x51..0x5F do nothing
  }
}

void resetSongPosition(Song* song) {
  song->globalVolume = song->initialGlobalVolume;
  song->speed = song->defaultSpeed;
  song->row = 0;
  song->orderPos = 0;
  song->nextOrder = NoPosition;
  song->nextRow = NoPosition;
  song->tickSamplesLeft = 0; // the first render runs the tick handler at once
  song->tick = 0;
  song->patternDelayTicks = 0;
  song->elapsedMs = 0;
  setBpm(song, song->defaultBpm);
  for (int i = 0; i < song->numChannels; ++i) {
    std::memset(&channels[i], 0, sizeof(Channel));
    channels[i].voice = &voices[i];
  }
}
