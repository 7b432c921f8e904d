// The arrangement. Every crash-and-stab accent falls on a row the show flashes on, and no
// accent falls anywhere else; orders that share a pattern share their flash rows.
#include "tools/songgen/arrangement.h"

#include "tools/songgen/instruments.h"
#include "tools/songgen/score.h"

namespace songgen {
namespace {

constexpr Chord Am{9, true}, Dm{2, true}, Em{4, true};
constexpr Chord C{0, false}, E{4, false}, F{5, false}, G{7, false}, Bb{10, false};
constexpr int NextRowZero = XmRows; // a fill that ends on the next pattern's first row

using D = DrumStyle;
using B = BassStyle;
using L = LeadStyle;

std::vector<PatternPlan> patternPlans() {
  return {
      // 0 title: two hits, then a pad swelling over held bass, hats creeping in.
      {{{0, Am}, {5, F}, {32, C}, {48, G}}, D::HatsLater, B::Held, L::Pad, {0, 5}, {NextRowZero}, 36},
      // 1 opening: laid-back half-time beat, bouncing bass, arpeggios.
      {{{0, Am}, {16, F}, {32, C}, {48, G}}, D::HalfTime, B::Eighths, L::Arpeggio, {0}, {}, 30},
      // 2 groove with no accents: the theme, quietly, over a gliding bass and soft drums.
      {{{0, F}, {16, G}, {32, Em}, {48, E}}, D::Mood, B::Sliding, L::Theme, {}, {}, 30},
      // 3 pushed chord changes: the F comes a sixteenth early, the G three late.
      {{{0, Am}, {15, F}, {35, G}}, D::HalfTime, B::Eighths, L::Theme, {0, 15, 35}, {NextRowZero}, 36, 1},
      // 4 the drop: a snare roll and a rising lead on E, then the breakbeat from row 22.
      {{{0, E}, {22, Am}, {50, C}}, D::Riser, B::Eighths, L::Riser, {22, 50}, {}, 44},
      // 5 call and answer: G on the backbeat, F and E off the beat.
      {{{0, C}, {20, G}, {38, F}, {45, E}}, D::Breakbeat, B::Eighths, L::Theme, {20, 38, 45}, {NextRowZero}, 44, 2},
      // 6 a stab every ten rows across the bar lines.
      {{{0, Am}, {10, F}, {20, C}, {30, G}, {40, Am}, {50, E}}, D::Stabs, B::Eighths, L::Arpeggio,
       {0, 10, 20, 30, 40, 50}, {}, 32},
      // 7 syncopated stabs and a fill onto the dominant.
      {{{0, Am}, {22, F}, {39, G}, {58, E}}, D::Breakbeat, B::Eighths, L::Theme, {0, 22, 39, 58}, {58}, 44},
      // 8 resolves late, on row 20; a fill onto the G.
      {{{0, E}, {20, Am}, {36, F}, {54, G}}, D::Breakbeat, B::Eighths, L::Theme, {20, 54}, {54}, 44, 1},
      // 9
      {{{0, Am}, {23, F}, {40, C}, {50, G}}, D::Breakbeat, B::Eighths, L::Theme, {0, 23, 40, 50}, {NextRowZero}, 44, 3},
      // 10 end of the first main section: a fill into the change of mood.
      {{{0, E}, {20, Am}, {36, F}, {48, G}}, D::Breakbeat, B::Eighths, L::Theme, {20}, {NextRowZero}, 40, 2},
      // 11..14 the change of mood: soft drums, gliding bass, a borrowed Bb.
      {{{0, F}, {10, Dm}, {35, Bb}, {48, C}}, D::Mood, B::Sliding, L::Theme, {0, 10, 35}, {NextRowZero}, 36, 1},
      {{{0, Am}, {16, F}, {32, Dm}, {48, Bb}}, D::Mood, B::Sliding, L::Theme, {0}, {}, 34, 3},
      {{{0, Bb}, {30, C}, {50, Am}}, D::Mood, B::Sliding, L::Theme, {30, 50}, {}, 36},
      {{{0, Am}, {20, F}, {38, Dm}, {50, E}}, D::Mood, B::Sliding, L::Theme, {20, 38, 50}, {NextRowZero}, 36, 2},
      // 15 the build back up (before both main sections' syncopated pattern).
      {{{0, Am}, {20, F}, {30, E}}, D::HalfTime, B::Eighths, L::Arpeggio, {0, 20, 30}, {NextRowZero}, 34},
      // 16..19 the second main section: four to the floor, rolling bass.
      {{{0, E}, {16, F}, {32, G}, {54, E}}, D::FourFloor, B::Rolling, L::Theme, {54}, {54}, 48, 1},
      {{{0, Am}, {16, F}, {32, C}, {48, G}}, D::FourFloor, B::Rolling, L::Theme, {0}, {}, 48, 2},
      {{{0, Am}, {30, F}, {50, G}}, D::FourFloor, B::Rolling, L::Arpeggio, {0, 30, 50}, {NextRowZero}, 40},
      {{{0, C}, {38, G}, {50, E}}, D::FourFloor, B::Rolling, L::Theme, {0, 38, 50}, {NextRowZero}, 48, 3},
      // 20 the ending: one last chord, fading out.
      {{{0, Am}}, D::Silent, B::Held, L::Ending, {0}, {}, 40},
  };
}

// Pattern per order position.
constexpr std::uint8_t OrderList[] = {0, 1, 2, 3, 1, 4, 5, 6, 7, 8, 9, 6, 10, 11, 12,
                                      13, 14, 15, 7, 16, 17, 17, 2, 3, 17, 18, 19, 15, 7, 20};
constexpr std::uint16_t RestartPosition = 12;
constexpr std::uint16_t SongSpeed = 4;  // ticks per row
constexpr std::uint16_t SongBpm = 125;  // 50 ticks a second: 80 ms per row

} // namespace

XmModule makeSong() {
  XmModule module;
  module.name = "Nyra Quorvatic";
  module.restartPosition = RestartPosition;
  module.defaultSpeed = SongSpeed;
  module.defaultBpm = SongBpm;
  module.orders.assign(std::begin(OrderList), std::end(OrderList));
  for (const PatternPlan& plan : patternPlans()) module.patterns.push_back(composePattern(plan));
  module.instruments = makeInstruments();
  return module;
}

} // namespace songgen
