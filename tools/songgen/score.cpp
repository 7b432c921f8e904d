// Writing one pattern from its plan: the parts first, then the fills and accents on top.
#include "tools/songgen/score.h"

#include <algorithm>

#include "tools/songgen/instruments.h"
#include "tools/songgen/parts.h"

namespace songgen {

bool isCrash(const XmCell& cell) {
  const bool note = cell.note != 0 && cell.note != XmKeyOff;
  const bool cut = cell.effect == EffectExtended && (cell.param & 0xF0) == ExtendedNoteCut;
  return note && cell.instrument == CymbalInstrument && !cut;
}

Chord chordAt(const PatternPlan& plan, int row) {
  Chord chord = plan.chords.front().chord;
  for (const ChordChange& change : plan.chords)
    if (change.row <= row) chord = change.chord;
  return chord;
}

namespace {

bool isAccent(const PatternPlan& plan, int row) {
  return std::find(plan.accents.begin(), plan.accents.end(), row) != plan.accents.end();
}

// A breath before an accent: the bass stops halfway through the row before and the hats
// rest, so that the hit lands in a small gap.
void writeGapBefore(XmPattern& p, const PatternPlan& plan, int row) {
  constexpr int GapCutTick = 2;
  if (row == 0 || isAccent(plan, row - 1)) return;
  XmCell bass{};
  bass.effect = EffectExtended;
  bass.param = ExtendedNoteCut | GapCutTick;
  p.cells[row - 1][BassChannel] = bass;
  if (p.cells[row - 1][CymbalChannel].effect == EffectExtended) p.cells[row - 1][CymbalChannel] = XmCell{};
}

// Every accent: kick, crash, the bass root and a chord stab that rings on (arpeggio, fading
// a little) until the lead's next note.
void writeAccent(XmPattern& p, const PatternPlan& plan, int row) {
  const Chord chord = chordAt(plan, row);
  writeGapBefore(p, plan, row);
  p.cells[row][DrumChannel] = kick(VolumeFull);
  p.cells[row][CymbalChannel] = crash();
  p.cells[row][BassChannel] = bassNote(rootAtOrAbove(chord.root, BassLowest), VolumeFull);
  p.cells[row][LeadChannel] =
      leadNote(rootAtOrAbove(chord.root, LeadLowest), StabVolume, EffectArpeggio, arpeggioOf(chord));
  for (int r = row + 1; r < XmRows && p.cells[r][LeadChannel].note == 0 && !isAccent(plan, r); ++r) {
    XmCell& c = p.cells[r][LeadChannel];
    c.effect = EffectArpeggio;
    c.param = arpeggioOf(chord);
    c.volume = r - row <= StabFadeRows ? VolumeSlideDown | StabFadePerTick : 0;
  }
}

// A snare run over the eight rows before `endRow`: two eighths, then sixteenths, louder
// each hit, the last one a 32nd-note double.
void writeFill(XmPattern& p, int endRow) {
  constexpr int FillRows = 8;
  for (int r = std::max(0, endRow - FillRows); r < endRow && r < XmRows; ++r) {
    const int toGo = endRow - r;
    XmCell& c = p.cells[r][DrumChannel];
    c = XmCell{};
    if (toGo > 4 && toGo % 2 == 1) continue;
    c = snare(FillBaseVolume + (FillRows - toGo) * FillVolumeStep);
    if (toGo == 1) {
      c.effect = EffectExtended;
      c.param = ExtendedRetrigger | 2;
    }
  }
}

// The final chord: everything after row 0 fades to silence by row FadeEndRow.
void writeEnding(XmPattern& p) {
  for (int r = 1; r < XmRows; ++r) {
    const int level = std::max(0, VolumeFull * (FadeEndRow - r) / FadeEndRow);
    for (int ch : {BassChannel, LeadChannel}) {
      XmCell& c = p.cells[r][ch];
      c.note = 0;
      c.instrument = 0;
      c.volume = setVolume(level);
    }
    p.cells[r][LeadChannel].effect = EffectArpeggio;
    p.cells[r][LeadChannel].param = p.cells[0][LeadChannel].param;
  }
}

} // namespace

XmPattern composePattern(const PatternPlan& plan) {
  XmPattern p{};
  writeDrums(p, plan);
  writeBass(p, plan);
  writeLead(p, plan);
  for (int endRow : plan.fillsInto) writeFill(p, endRow);
  for (int row : plan.accents) writeAccent(p, plan, row);
  if (plan.lead == LeadStyle::Ending) writeEnding(p);
  return p;
}

} // namespace songgen
