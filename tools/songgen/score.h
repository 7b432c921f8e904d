#pragma once
// How one 64-row pattern is described and written: a chord chart, a style per part
// (drums, bass, lead), the accent rows (a crash, a kick, the bass and a chord stab all
// at once), and the snare fills that lead into an accent. Everything is in the key of
// A minor; a row is a sixteenth note, a bar 16 rows.
#include <vector>

#include "tools/songgen/xmwriter.h"

namespace songgen {

// Pattern channels.
constexpr int DrumChannel = 0;   // kick and snare
constexpr int CymbalChannel = 1; // hats, crashes, and the snare of the four-to-the-floor beat
constexpr int BassChannel = 2;
constexpr int LeadChannel = 3;

constexpr int RowsPerBar = 16;
constexpr int RowsPerBeat = 4;

// A triad by pitch class of its root (C = 0) and quality.
struct Chord {
  int root;
  bool minor;
};

struct ChordChange {
  int row;
  Chord chord;
};

enum class DrumStyle {
  Silent,     // nothing but the accents
  HatsLater,  // hi-hats creeping in over the second half
  HalfTime,   // kick on 1, snare on 3: the opening's laid-back beat
  Breakbeat,  // kick 1 and the "and" of 3, snare 2 and 4, ghost notes
  FourFloor,  // a kick on every beat, offbeat open hats, snare on 2 and 4
  Mood,       // a kick per bar, a soft snare, sparse hats
  Stabs,      // hats and backbeat only; the accents bring the kicks
  Riser,      // a snare roll that tightens and swells (first 22 rows), then the breakbeat
};

enum class BassStyle {
  Held,     // one note per chord, renewed every half bar
  Eighths,  // eighth notes bouncing between the root and its octave
  Rolling,  // three sixteenths after every kick
  Sliding,  // held notes that glide into each chord
};

enum class LeadStyle {
  Silent,
  Pad,      // slow chord arpeggios swelling in
  Arpeggio, // chord arpeggios retriggered every eighth
  Theme,    // the melody, built from the chord chart
  Riser,    // one note sliding upward until the first accent
  Ending,   // the final chord fading out
};

struct PatternPlan {
  std::vector<ChordChange> chords; // the first at row 0, rows ascending
  DrumStyle drums;
  BassStyle bass;
  LeadStyle lead;
  std::vector<int> accents;    // rows with a crash and a chord stab
  std::vector<int> fillsInto;  // accent rows (64 = the next pattern's row 0) a fill leads into
  int leadVolume = 40;         // 0..64
  int motifOffset = 0;         // which melody bar the theme starts with
};

XmPattern composePattern(const PatternPlan& plan);

// True when the cell is a crash: the cymbal let ring (no note cut).
bool isCrash(const XmCell& cell);

} // namespace songgen
