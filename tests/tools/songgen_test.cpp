// The song generator: what it composes survives encoding and loading unchanged, its
// integer oscillator is exact, its samples are normalised and loop without a seam, and
// its parts stay in key and in register.
#include <algorithm>
#include <cstdlib>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "player/song.h"
#include "tests/support/songfile.h"
#include "tools/songgen/arrangement.h"
#include "tools/songgen/instruments.h"
#include "tools/songgen/score.h"
#include "tools/songgen/synth.h"

namespace {

using namespace songgen;

constexpr Phase QuarterTurn = Phase{1} << 30;

struct Composed {
  XmModule module = makeSong();
  std::vector<std::uint8_t> bytes = encodeXm(module);
};

const Composed& composed() {
  static const Composed c;
  return c;
}

TEST(SongGenerator, EncodedModuleLoadsBackExactlyAsComposed) {
  const XmModule& m = composed().module;
  SongPtr song = loadSongBytes(composed().bytes);
  ASSERT_TRUE(song);
  ASSERT_EQ(song->songLength, static_cast<int>(m.orders.size()));
  EXPECT_EQ(song->restartPosition, m.restartPosition);
  EXPECT_EQ(song->defaultSpeed, m.defaultSpeed);
  EXPECT_EQ(song->defaultBpm, m.defaultBpm);
  for (std::size_t o = 0; o < m.orders.size(); ++o) EXPECT_EQ(song->orderTable[o], m.orders[o]);

  ASSERT_EQ(song->numPatterns, static_cast<int>(m.patterns.size()));
  for (int p = 0; p < song->numPatterns; ++p)
    for (int r = 0; r < XmRows; ++r)
      for (int ch = 0; ch < XmChannels; ++ch) {
        const XmCell& want = m.patterns[p].cells[r][ch];
        const NoteCell& got = song->patterns[p].cells[r * XmChannels + ch];
        ASSERT_EQ(got.note, want.note == XmKeyOff ? NoteKeyOff : want.note) << p << ":" << r << ":" << ch;
        ASSERT_EQ(got.instrument, want.instrument) << p << ":" << r << ":" << ch;
        ASSERT_EQ(got.volume, want.volume) << p << ":" << r << ":" << ch;
        ASSERT_EQ(got.effect, want.effect) << p << ":" << r << ":" << ch;
        ASSERT_EQ(got.param, want.param) << p << ":" << r << ":" << ch;
      }

  ASSERT_EQ(song->numInstruments, static_cast<int>(m.instruments.size()));
  for (int i = 0; i < song->numInstruments; ++i) {
    const XmInstrument& want = m.instruments[i];
    const Instrument& got = song->instruments[i];
    ASSERT_EQ(got.numSamples, 1) << i;
    const Sample& s = *got.samples[0];
    ASSERT_EQ(s.length, want.data.size()) << i;
    for (std::size_t k = 0; k < want.data.size(); ++k) ASSERT_EQ(s.data[k], want.data[k] * 256) << i << ":" << k;
    EXPECT_EQ(s.loopKind, want.looped ? LoopForward : LoopNone) << i;
    EXPECT_EQ(s.loopStart, want.loopStart) << i;
    EXPECT_EQ(s.loopLength, want.data.size() - want.loopStart) << i;
    EXPECT_EQ(s.volume, want.volume) << i;
    EXPECT_EQ(s.panning, want.panning) << i;
    EXPECT_EQ(s.relativeNote, want.relativeNote) << i;
    EXPECT_EQ(s.finetune, want.finetune) << i;
    ASSERT_EQ(got.numVolumePoints, want.volumeEnvelope.size()) << i;
    for (std::size_t k = 0; k < want.volumeEnvelope.size(); ++k) {
      EXPECT_EQ(got.volumeEnvelope[k].x, want.volumeEnvelope[k].x) << i << ":" << k;
      EXPECT_EQ(got.volumeEnvelope[k].y, want.volumeEnvelope[k].y) << i << ":" << k;
    }
    const int expectedType = want.volumeEnvelope.size() < 2 ? 0
                             : want.volumeSustainPoint >= 0 ? EnvelopeOn | EnvelopeSustain
                                                            : EnvelopeOn;
    EXPECT_EQ(got.volumeType, expectedType) << i;
    if (want.volumeSustainPoint >= 0) {
      EXPECT_EQ(got.volumeSustainPoint, want.volumeSustainPoint) << i;
    }
    EXPECT_EQ(got.volumeFadeout, 2 * want.volumeFadeout) << i;
    EXPECT_EQ(got.vibratoDepth, want.vibratoDepth) << i;
    EXPECT_EQ(got.vibratoRate, want.vibratoRate) << i;
    EXPECT_EQ(got.vibratoSweep, want.vibratoSweep) << i;
  }
}

TEST(SongGenerator, SineIsExactAtTheQuadrantsOddAndRisingInTheFirstQuarter) {
  EXPECT_EQ(sineQ15(0), 0);
  EXPECT_EQ(sineQ15(QuarterTurn), 32767);
  EXPECT_EQ(sineQ15(2 * QuarterTurn), 0);
  EXPECT_EQ(sineQ15(3 * QuarterTurn), -32767);
  // sin(30 degrees) = 0.5 to within one table step.
  EXPECT_NEAR(sineQ15(QuarterTurn / 3), 16384, 30);
  for (Phase p = 0; p < QuarterTurn; p += QuarterTurn / 1024) {
    EXPECT_EQ(sineQ15(p), -sineQ15(p + 2 * QuarterTurn)) << p;
    EXPECT_EQ(sineQ15(p + QuarterTurn / 1024) >= sineQ15(p), true) << p;
  }
}

TEST(SongGenerator, SamplesPeakAtTheirHeadroomAndLoopWithoutASeam) {
  for (const XmInstrument& ins : composed().module.instruments) {
    int peak = 0, largestStep = 0;
    for (std::size_t k = 0; k < ins.data.size(); ++k) {
      peak = std::max(peak, std::abs(int{ins.data[k]}));
      if (k > 0) largestStep = std::max(largestStep, std::abs(ins.data[k] - ins.data[k - 1]));
    }
    EXPECT_EQ(peak, 120) << ins.name;
    if (ins.looped) {
      const int seam = std::abs(ins.data[ins.loopStart] - ins.data.back());
      EXPECT_LE(seam, largestStep) << ins.name;
    }
  }
}

// Lead and bass notes lie in A minor (with G# for the E major chord and the borrowed
// Bb), the bass in E1..D#3 and the lead in A3..C7.
TEST(SongGenerator, PitchedPartsStayInKeyAndInRegister) {
  const std::set<int> key = {9, 11, 0, 2, 4, 5, 7, 8, 10};
  for (const XmPattern& p : composed().module.patterns)
    for (int r = 0; r < XmRows; ++r)
      for (int ch : {BassChannel, LeadChannel}) {
        const XmCell& c = p.cells[r][ch];
        if (c.note == 0 || c.note == XmKeyOff) continue;
        const int pitch = c.note - 1;
        EXPECT_TRUE(key.count(pitch % 12)) << "row " << r << " pitch " << pitch;
        if (ch == BassChannel) {
          // Glides carry no instrument, so that they keep the sounding note's envelope.
          const bool glide = c.effect == 0x3 && c.instrument == 0;
          EXPECT_TRUE(glide || c.instrument == BassInstrument) << "row " << r;
          EXPECT_GE(pitch, 16);
          EXPECT_LT(pitch, 40);
        } else {
          EXPECT_EQ(c.instrument, LeadInstrument);
          EXPECT_GE(pitch, 45);
          EXPECT_LE(pitch, 84);
        }
      }
}

TEST(SongGenerator, AccentsAreCrashesAndHatsAreNot) {
  PatternPlan plan{{{0, Chord{9, true}}}, DrumStyle::Breakbeat, BassStyle::Eighths, LeadStyle::Theme, {0, 22}, {22}};
  const XmPattern p = composePattern(plan);
  for (int r = 0; r < XmRows; ++r) {
    bool crash = false;
    for (const XmCell& c : p.cells[r]) crash = crash || isCrash(c);
    EXPECT_EQ(crash, r == 0 || r == 22) << "row " << r;
  }
  // The fill into row 22 ends with a doubled snare on row 21, and the accent brings a kick.
  EXPECT_EQ(p.cells[21][DrumChannel].instrument, SnareInstrument);
  EXPECT_EQ(p.cells[22][DrumChannel].instrument, KickInstrument);
}

} // namespace
