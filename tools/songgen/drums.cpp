// The drum grooves, one bar (16 rows) at a time.
#include "tools/songgen/parts.h"

namespace songgen {
namespace {

// A bar is written as one character per row, like a drum machine's step row:
//   K kick   k softer kick   q quiet kick   w softest kick
//   S snare  s softer snare  c clap-like snare   m quiet snare
//   g ghost snare, two ticks late (swing)    G louder ghost snare
//   H h l x  closed hats, loud to quiet     o O p  open hats (cut after 3, 2, 2 ticks)
struct Step {
  char symbol;
  std::uint8_t instrument;
  int volume;
  int cutTicks;   // 0: let ring
  int delayTicks; // 0: on the row
};
constexpr int ClosedHatTicks = 1;
constexpr Step Steps[] = {
    {'K', KickInstrument, 60, 0, 0},  {'k', KickInstrument, 50, 0, 0},
    {'q', KickInstrument, 40, 0, 0},  {'w', KickInstrument, 30, 0, 0},
    {'S', SnareInstrument, 50, 0, 0}, {'s', SnareInstrument, 44, 0, 0},
    {'c', SnareInstrument, 40, 0, 0}, {'m', SnareInstrument, 28, 0, 0},
    {'g', SnareInstrument, 18, 0, 2}, {'G', SnareInstrument, 22, 0, 0},
    {'H', CymbalInstrument, 26, ClosedHatTicks, 0}, {'h', CymbalInstrument, 22, ClosedHatTicks, 0},
    {'l', CymbalInstrument, 18, ClosedHatTicks, 0}, {'x', CymbalInstrument, 12, ClosedHatTicks, 0},
    {'o', CymbalInstrument, 26, 3, 0}, {'O', CymbalInstrument, 30, 2, 0},
    {'p', CymbalInstrument, 18, 2, 0},
};

XmCell stepCell(char symbol) {
  for (const Step& step : Steps) {
    if (step.symbol != symbol) continue;
    XmCell c = step.instrument == CymbalInstrument ? hat(step.volume, step.cutTicks)
               : step.instrument == KickInstrument ? kick(step.volume)
                                                   : snare(step.volume);
    if (step.delayTicks > 0) {
      c.effect = EffectExtended;
      c.param = static_cast<std::uint8_t>(ExtendedNoteDelay | step.delayTicks);
    }
    return c;
  }
  return XmCell{}; // '.': nothing on this row
}

// The two step rows of a groove (drum channel, cymbal channel), for even and odd bars.
struct Groove {
  const char* drumsEven;
  const char* drumsOdd;
  const char* cymbals;
};
constexpr Groove HalfTimeGroove = {"K.......S.......", "K.......S.k.....", "l.H.l.H.l.H.l.H."};
constexpr Groove BreakbeatGroove = {"K...S..g..k.S...", "K...S..g..k.S..G", "hxhxhxhxhxhxhxox"};
constexpr Groove FourFloorGroove = {"K...K...K...K...", "K...K...K...K...", "..O.c.O...O.c.O."};
constexpr Groove MoodGroove = {"q.......m.......", "q.......m.w.....", "..p...p...p...p."}; // soft: bar lines never sound like accents
constexpr Groove StabsGroove = {"....s.......s...", "....s.......s...", "h.h.h.h.h.h.h.h."};

const Groove* grooveOf(DrumStyle style) {
  switch (style) {
    case DrumStyle::HalfTime: return &HalfTimeGroove;
    case DrumStyle::Breakbeat: return &BreakbeatGroove;
    case DrumStyle::FourFloor: return &FourFloorGroove;
    case DrumStyle::Mood: return &MoodGroove;
    case DrumStyle::Stabs: return &StabsGroove;
    default: return nullptr;
  }
}

constexpr int HatsLaterStartVolume = 12;
constexpr int HatsLaterOpenTicks = 2;
constexpr int RiserStartVolume = 16;
constexpr int RiserRetriggerRows = 4; // the last rows before the accent roll in 32nds
constexpr int RetriggerTicks = 2;

// Hats from the second half on, swelling into the next pattern.
void hatsLater(XmPattern& p) {
  for (int r = XmRows / 2 + 2; r < XmRows; r += RowsPerBeat)
    p.cells[r][CymbalChannel] = hat(HatsLaterStartVolume + (r - XmRows / 2) / 2, HatsLaterOpenTicks);
}

// A snare roll until the first accent: quarters, eighths, sixteenths, then 32nds by
// retrigger, rising from quiet to loud. The breakbeat takes over from the accent.
int riser(XmPattern& p, int accentRow) {
  for (int r = 0; r < accentRow; ++r) {
    const int step = r < RowsPerBar / 2 ? RowsPerBeat : r < RowsPerBar ? 2 : 1;
    if (r % step != 0) continue;
    XmCell c = snare(RiserStartVolume + (VolumeFull - RiserStartVolume) * r / accentRow);
    if (accentRow - r <= RiserRetriggerRows) {
      c.effect = EffectExtended;
      c.param = ExtendedRetrigger | RetriggerTicks;
    }
    p.cells[r][DrumChannel] = c;
  }
  return accentRow;
}

} // namespace

void writeDrums(XmPattern& p, const PatternPlan& plan) {
  int firstRow = 0;
  DrumStyle style = plan.drums;
  if (style == DrumStyle::Riser) {
    firstRow = riser(p, plan.accents.front());
    style = DrumStyle::Breakbeat;
  }
  if (style == DrumStyle::HatsLater) hatsLater(p);
  const Groove* groove = grooveOf(style);
  if (!groove) return;
  // Rows before firstRow belong to the riser.
  for (int r = firstRow; r < XmRows; ++r) {
    const bool oddBar = (r / RowsPerBar) % 2 == 1;
    const int step = r % RowsPerBar;
    p.cells[r][DrumChannel] = stepCell((oddBar ? groove->drumsOdd : groove->drumsEven)[step]);
    p.cells[r][CymbalChannel] = stepCell(groove->cymbals[step]);
  }
}

} // namespace songgen
