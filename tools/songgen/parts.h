#pragma once
// Cell-level vocabulary shared by the part writers: effect numbers, volumes, pitches and
// one constructor per kind of hit.
#include <algorithm>
#include <cstdint>

#include "tools/songgen/instruments.h"
#include "tools/songgen/score.h"

namespace songgen {

// XM effect types and Exy sub-commands (high nibble of the parameter).
constexpr std::uint8_t EffectArpeggio = 0x0;
constexpr std::uint8_t EffectPortaUp = 0x1;
constexpr std::uint8_t EffectTonePorta = 0x3;
constexpr std::uint8_t EffectVibrato = 0x4;
constexpr std::uint8_t EffectVolumeSlide = 0xA;
constexpr std::uint8_t EffectExtended = 0xE;
constexpr std::uint8_t ExtendedRetrigger = 0x90;
constexpr std::uint8_t ExtendedNoteCut = 0xC0;
constexpr std::uint8_t ExtendedNoteDelay = 0xD0;

// Volume column: 0x10 + v sets volume v (0..64); 0x6y slides down by y every tick.
constexpr std::uint8_t VolumeSetBase = 0x10;
constexpr std::uint8_t VolumeSlideDown = 0x60;
constexpr int VolumeFull = 64;

constexpr int StabVolume = 60;
constexpr int StabFadeRows = 4;
constexpr std::uint8_t StabFadePerTick = 1;
constexpr int FillBaseVolume = 30;
constexpr int FillVolumeStep = 4;
constexpr int FadeEndRow = 50; // the show leaves 51 rows into the last pattern

// Pitches are 0-based semitones from C-0 (a cell's note is that plus 1).
constexpr int Octave = 12;
constexpr int PitchC4 = 48;
constexpr int PitchC5 = 60;
constexpr int BassLowest = 16;  // E1: bass roots lie in E1..D#2
constexpr int LeadLowest = 48;  // C4: lead roots lie in C4..B4
constexpr int PitchClassA = 9, PitchClassB = 11;

inline std::uint8_t setVolume(int v) {
  return static_cast<std::uint8_t>(VolumeSetBase + std::clamp(v, 0, VolumeFull));
}
inline std::uint8_t cellNote(int pitch) { return static_cast<std::uint8_t>(pitch + 1); }

// The lowest pitch of `pitchClass` at or above `lowest`.
inline int rootAtOrAbove(int pitchClass, int lowest) {
  return lowest + ((pitchClass - lowest) % Octave + Octave) % Octave;
}

// Arpeggio parameter (third, fifth) of a triad.
inline std::uint8_t arpeggioOf(Chord chord) { return chord.minor ? 0x37 : 0x47; }

inline XmCell hit(std::uint8_t instrument, int pitch, int volume) {
  XmCell c;
  c.note = cellNote(pitch);
  c.instrument = instrument;
  c.volume = setVolume(volume);
  return c;
}
inline XmCell kick(int volume) { return hit(KickInstrument, PitchC4, volume); }
inline XmCell snare(int volume) { return hit(SnareInstrument, PitchC4, volume); }
// A hi-hat: the cymbal an octave up, cut after `ticks` ticks (1 closed, 2 or 3 open).
inline XmCell hat(int volume, int ticks) {
  XmCell c = hit(CymbalInstrument, PitchC5, volume);
  c.effect = EffectExtended;
  c.param = static_cast<std::uint8_t>(ExtendedNoteCut | ticks);
  return c;
}
constexpr int CrashVolume = 52;
inline XmCell crash() { return hit(CymbalInstrument, PitchC4, CrashVolume); }
inline XmCell bassNote(int pitch, int volume) { return hit(BassInstrument, pitch, volume); }
inline XmCell leadNote(int pitch, int volume, std::uint8_t effect, std::uint8_t param) {
  XmCell c = hit(LeadInstrument, pitch, volume);
  c.effect = effect;
  c.param = param;
  return c;
}

Chord chordAt(const PatternPlan& plan, int row);

// The part writers; each fills its own channel(s) of an empty pattern.
void writeDrums(XmPattern& p, const PatternPlan& plan);
void writeBass(XmPattern& p, const PatternPlan& plan);
void writeLead(XmPattern& p, const PatternPlan& plan);

} // namespace songgen
