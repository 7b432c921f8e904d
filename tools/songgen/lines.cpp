// The pitched parts: the bass line and the lead (pad, arpeggios, theme, riser).
#include <array>
#include <cstdlib>

#include "tools/songgen/parts.h"

namespace songgen {
namespace {

constexpr int BassVolume = 50;
constexpr int BassOffbeatVolume = 42;
constexpr std::uint8_t BassGlide = 0x08;        // tone portamento speed into a new chord
constexpr std::uint8_t LeadGlide = 0x0C;        // tone portamento speed between theme notes
constexpr std::uint8_t LeadVibrato = 0x52;      // speed 5, depth 2: a gentle singing vibrato
constexpr std::uint8_t RiserSlide = 0x03;       // portamento up per tick, x 4 period units
constexpr int PadLowest = 45;                   // A3: pad roots lie in A3..G#4
constexpr int PadStartVolume = 16;
constexpr int RiserStartVolume = 20;
constexpr int ThemeVibratoFrom = 2;             // rows into a note before its vibrato starts

bool chordChangesAt(const PatternPlan& plan, int row) {
  for (const ChordChange& change : plan.chords)
    if (change.row == row) return true;
  return false;
}

// A natural minor, bent where the chord needs it (G# for E major, Bb for Bb major): a
// chord tone outside the scale replaces its semitone neighbour, never the tonic A.
std::array<bool, Octave> scaleFor(Chord chord) {
  std::array<bool, Octave> in{};
  for (int pc : {9, 11, 0, 2, 4, 5, 7}) in[pc] = true;
  for (int interval : {0, chord.minor ? 3 : 4, 7}) {
    const int tone = (chord.root + interval) % Octave;
    if (in[tone]) continue;
    for (int neighbour : {(tone + Octave - 1) % Octave, (tone + 1) % Octave})
      if (in[neighbour] && neighbour != PitchClassA) {
        in[neighbour] = false;
        break;
      }
    in[tone] = true;
  }
  return in;
}

// `steps` scale degrees above `root` (a chord root, so itself in the scale).
int scaleStep(int root, int steps, Chord chord) {
  const auto in = scaleFor(chord);
  int pitch = root;
  while (steps > 0) {
    ++pitch;
    if (in[pitch % Octave]) --steps;
  }
  return pitch;
}

// The theme's four bars, as rhythm and scale degrees above the current chord's root.
struct MotifNote {
  int offset; // row within the bar
  int rows;
  int degree;
};
constexpr int MotifNotes = 5;
constexpr MotifNote Motifs[4][MotifNotes] = {
    {{0, 6, 4}, {6, 2, 3}, {8, 4, 2}, {12, 2, 1}, {14, 2, 2}},
    {{0, 6, 2}, {6, 2, 4}, {8, 4, 7}, {12, 2, 6}, {14, 2, 4}},
    {{0, 4, 7}, {4, 4, 4}, {8, 2, 2}, {10, 2, 4}, {12, 4, 0}},
    {{0, 8, 4}, {8, 2, 5}, {10, 2, 4}, {12, 4, 2}, {0, 0, 0}},
};

void writeTheme(XmPattern& p, const PatternPlan& plan, int fromRow) {
  int previous = -1;
  for (int bar = 0; bar < XmRows / RowsPerBar; ++bar) {
    const MotifNote* motif = Motifs[(bar + plan.motifOffset) % 4];
    for (int i = 0; i < MotifNotes && motif[i].rows > 0; ++i) {
      const int start = bar * RowsPerBar + motif[i].offset;
      if (start < fromRow) continue;
      const Chord chord = chordAt(plan, start);
      const int pitch = scaleStep(rootAtOrAbove(chord.root, LeadLowest), motif[i].degree, chord);
      // The second note of a bar glides in from a near first one.
      const bool glide = i == 1 && previous >= 0 && std::abs(pitch - previous) <= 4;
      p.cells[start][LeadChannel] =
          leadNote(pitch, plan.leadVolume, glide ? EffectTonePorta : EffectArpeggio,
                   glide ? LeadGlide : 0);
      for (int r = start + ThemeVibratoFrom; r < start + motif[i].rows; ++r) {
        p.cells[r][LeadChannel].effect = EffectVibrato;
        p.cells[r][LeadChannel].param = LeadVibrato;
      }
      previous = pitch;
    }
  }
}

// Slow chord arpeggios in a low register, swelling from quiet to the plan's volume.
void writePad(XmPattern& p, const PatternPlan& plan) {
  for (int r = 0; r < XmRows; ++r) {
    const Chord chord = chordAt(plan, r);
    const int volume = PadStartVolume + (plan.leadVolume - PadStartVolume) * r / (XmRows - 1);
    XmCell& c = p.cells[r][LeadChannel];
    if (chordChangesAt(plan, r) || r % (RowsPerBar / 2) == 0)
      c = leadNote(rootAtOrAbove(chord.root, PadLowest), volume, EffectArpeggio, arpeggioOf(chord));
    c.volume = setVolume(volume);
    c.effect = EffectArpeggio;
    c.param = arpeggioOf(chord);
  }
}

void writeArpeggios(XmPattern& p, const PatternPlan& plan) {
  for (int r = 0; r < XmRows; ++r) {
    const Chord chord = chordAt(plan, r);
    XmCell& c = p.cells[r][LeadChannel];
    if (r % 2 == 0)
      c = leadNote(rootAtOrAbove(chord.root, LeadLowest), plan.leadVolume, EffectArpeggio, 0);
    c.effect = EffectArpeggio;
    c.param = arpeggioOf(chord);
  }
}

// One long note sliding up and swelling until the first accent, then the theme.
void writeRiser(XmPattern& p, const PatternPlan& plan) {
  const int accent = plan.accents.front();
  const Chord chord = chordAt(plan, 0);
  for (int r = 0; r < accent; ++r) {
    XmCell& c = p.cells[r][LeadChannel];
    if (r == 0) c = leadNote(rootAtOrAbove(chord.root, LeadLowest), RiserStartVolume, 0, 0);
    c.volume = setVolume(RiserStartVolume + (plan.leadVolume - RiserStartVolume) * r / accent);
    c.effect = EffectPortaUp;
    c.param = RiserSlide;
  }
  writeTheme(p, plan, accent + 1);
}

} // namespace

void writeBass(XmPattern& p, const PatternPlan& plan) {
  for (int r = 0; r < XmRows; ++r) {
    const int root = rootAtOrAbove(chordAt(plan, r).root, BassLowest);
    const int inBar = r % RowsPerBar;
    XmCell& c = p.cells[r][BassChannel];
    switch (plan.bass) {
      case BassStyle::Held:
        if (chordChangesAt(plan, r) || r % (RowsPerBar / 2) == 0) c = bassNote(root, BassVolume);
        break;
      case BassStyle::Eighths: // root on 1, the "a" of 1, the "and" of 2 (octave), 3, ...
        if (inBar == 0 || inBar == 3 || inBar == 8 || inBar == 10 || inBar == 14)
          c = bassNote(root, BassVolume);
        else if (inBar == 6 || inBar == 11)
          c = bassNote(root + Octave, BassOffbeatVolume);
        break;
      case BassStyle::Rolling: // three cut sixteenths between the kicks
        if (inBar % RowsPerBeat != 0) {
          c = bassNote(inBar % RowsPerBeat == 3 ? root + Octave : root, BassVolume);
          c.effect = EffectExtended;
          c.param = ExtendedNoteCut | 3;
        }
        break;
      case BassStyle::Sliding: // the note sounding from before glides into each chord
        if (chordChangesAt(plan, r)) {
          c.note = cellNote(root);
          c.volume = setVolume(BassVolume);
          c.effect = EffectTonePorta;
          c.param = BassGlide;
        }
        break;
    }
  }
}

void writeLead(XmPattern& p, const PatternPlan& plan) {
  switch (plan.lead) {
    case LeadStyle::Pad: writePad(p, plan); break;
    case LeadStyle::Arpeggio: writeArpeggios(p, plan); break;
    case LeadStyle::Theme: writeTheme(p, plan, 0); break;
    case LeadStyle::Riser: writeRiser(p, plan); break;
    case LeadStyle::Silent:
    case LeadStyle::Ending: break;
  }
}

} // namespace songgen
