#pragma once
// Per-channel playback state of the song logic, and the operations that row processing,
// the per-tick effects and the effect helpers share. Periods are in linear units (64 per
// semitone) or Amiga units (four times the classic Amiga period) by the song's table;
// envelope values are 16.16 fixed point; volumes 0..64; panning 0 (left) .. 255 (right).
#include <cstdint>

#include "player/song.h"

struct Voice;

// Channel::updateFlags: what updateVoice sends to the channel's voice this tick.
constexpr std::uint8_t UpdateFrequency = 1;
constexpr std::uint8_t UpdateVolume = 2;
constexpr std::uint8_t UpdatePanning = 4;
constexpr std::uint8_t Trigger = 8;
constexpr std::uint8_t Rewind = 32;

constexpr int ChannelCount = SongMaxChannels;

constexpr std::int32_t VolumeMax = 64;
constexpr std::int32_t PanningMax = 255;
constexpr std::int32_t FadeoutFull = 65536;
constexpr std::int32_t EnvelopeVolumeFull = 64;
constexpr std::int32_t EnvelopePanningCentre = 32;
constexpr int EnvelopeFixedShift = 16; // envelope values and steps are 16.16
// Effect parameters and volume-column bytes hold two nibbles, x (high) and y (low).
constexpr int NibbleShift = 4;
constexpr std::uint8_t NibbleMask = 0x0F;

struct Channel {
  std::uint8_t note;        // last note, 0-based; selects the sample via sampleForNote
  std::uint8_t updateFlags; // UpdateFrequency | UpdateVolume | UpdatePanning | Trigger | Rewind
  Voice* voice;             // voice i or its partner i + 32; not owned
  std::int32_t period;
  std::int32_t volume;
  std::int32_t panning;
  std::int32_t volumeOffset; // this tick's tremolo / tremor offset
  std::int32_t periodOffset; // this tick's arpeggio / vibrato / auto-vibrato offset
  std::int32_t volEnvTick, volEnvPoint, volEnvValue, volEnvOutput, volEnvStep; // value, step 16.16
  std::uint8_t volEnvDone;
  std::int32_t panEnvTick, panEnvPoint, panEnvValue, panEnvOutput, panEnvStep; // output 32 = centre
  std::uint8_t panEnvDone;
  std::int32_t fadeoutVolume; // FadeoutFull .. 0
  std::int32_t autoVibratoPosition; // 0..255
  std::int32_t autoVibratoSweep;    // ticks since the instrument reset, capped at its sweep
  std::uint8_t keyOff;
  std::uint8_t instrument; // 0-based
  std::uint8_t realNote;   // cell note + relativeNote - 1, as a byte
  std::int32_t notePeriod; // period of the last note cell: the tone-portamento target
  std::uint8_t lastEffect;
  std::int32_t sampleOffsetMemory;
  std::uint8_t portaDownMemory, portaUpMemory, extraFinePortaDownMemory, extraFinePortaUpMemory;
  std::uint8_t volumeSlideMemory, panningSlideMemory;
  std::uint8_t retrigVolumeChange, retrigInterval;
  std::int32_t portaTarget;
  std::uint8_t portaSpeed;
  std::int8_t vibratoPosition; // -32..31
  std::uint8_t vibratoSpeed, vibratoDepth;
  std::int8_t tremoloPosition; // -32..31
  std::uint8_t tremoloSpeed, tremoloDepth;
  std::uint8_t tremorCounter, tremorOnTicks, tremorOffTicks;
  std::int32_t loopStartRow, loopCount;
  std::uint8_t waveforms; // low nibble vibrato, high nibble tremolo
  std::uint8_t fineVolumeSlideMemory;
  std::uint8_t finePortaUpMemory, finePortaDownMemory;
};

extern Channel channels[ChannelCount];
// Stands in for an instrument number the song does not have: no envelopes, no vibrato.
extern Instrument emptyInstrument;

// The instrument and sample a channel plays now.
struct ChannelSound {
  Instrument* instrument;
  Sample* sample;
};
ChannelSound lookUpSound(Song* song, Channel& channel);
// The pattern being played (entry orderPos of the order table) and a cell of its row.
Pattern& currentPattern(Song* song);
const NoteCell& currentCell(Song* song, int channel);

// Playback start: position fields, global volume, tempo, and the first numChannels
// channels zeroed and pointed at voices 0.. .
void resetSongPosition(Song* song);

// Row processing (tick 0).
void processRow(Song* song);
void resetFromSample(Channel& channel, const Sample& sample);
void applyVolumeColumnOnRow(Channel& channel, std::uint8_t volume);
// Lxx: jumps the volume envelope to `tick`.
void setVolumeEnvelopePosition(Channel& channel, const Instrument& instrument, std::int32_t tick);

// Ticks after the first of a row.
void processTickEffects(Song* song);

// Effect helpers.
struct EnvelopeState {
  std::int32_t& tick;
  std::int32_t& point;
  std::int32_t& value;
  std::int32_t& step;
  std::int32_t& output;
  std::uint8_t& done;
};
struct EnvelopeShape {
  const EnvelopePoint* points;
  std::uint8_t count, sustainPoint, loopStart, loopEnd, type;
};
EnvelopeState volumeEnvelopeState(Channel& channel);
EnvelopeState panningEnvelopeState(Channel& channel);
EnvelopeShape volumeEnvelopeShape(const Instrument& instrument);
EnvelopeShape panningEnvelopeShape(const Instrument& instrument);
void stepEnvelope(Channel& channel, const EnvelopeShape& shape, const EnvelopeState& state,
                  std::uint8_t updateFlag);

void computeVibrato(Channel& channel);
void advanceVibrato(Channel& channel);
void stepTremolo(Channel& channel);
void stepAutoVibrato(Channel& channel, const Instrument& instrument);
void stepTonePortamento(Channel& channel);
void stepTremor(Channel& channel);
// Volume slide shared by 5xy, 6xy and Axy, from volumeSlideMemory.
void slideVolume(Channel& channel);
// The slides of the volume column and the fine slides: volume moved by `amount` and held
// within 0..64, panning moved by `amount` unclamped (the voice update clamps it); each
// flags its update, also for an amount of 0.
void raiseVolume(Channel& channel, std::int32_t amount);
void lowerVolume(Channel& channel, std::int32_t amount);
void shiftPanning(Channel& channel, std::int32_t amount);

// Periods: Amiga units for 0-based note n and signed finetune f.
std::int32_t amigaPeriod(std::int32_t note, std::int32_t finetune);
// The period of 0-based `note` with `finetune` in the song's table.
std::int32_t notePeriod(const Song* song, std::int32_t note, std::int32_t finetune);

void updateVoice(Channel& channel, Sample* sample, Song* song);
