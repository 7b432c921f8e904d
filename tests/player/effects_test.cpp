// Effects on tick 0 and on the later ticks, observed in the channel and its voice.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "player/channel.h"
#include "player/mixer.h"
#include "tests/support/playerkit.h"

namespace {

constexpr std::uint8_t C4 = xmNote(0, 4); // real note 48: period 4608, 8363 Hz
constexpr std::uint8_t D4 = xmNote(2, 4);

// One or more channels, 16 rows, instruments 1 (volume 64, panning 128) and 2 (volume
// 32, panning 200), both long constant samples.
struct EffectFixture : ::testing::Test {
  XmModule module = constantModule(4, 16);
  SongPtr song;
  void SetUp() override {
    XmSample quiet = XmSample::pcm8(std::vector<std::int16_t>(20000, 50));
    quiet.volume = 32;
    quiet.panning = 200;
    module.instruments.push_back(XmInstrument::withSample(quiet));
  }
  XmCell& cell(int row, int channel = 0) { return module.patterns[0].at(row, channel); }
  void start() {
    song = loadModule(module);
    beginSong(song.get());
  }
  void ticks(int n) { runTicks(song.get(), n); }
  Channel& ch(int channel = 0) { return channels[channel]; }
  Voice& voice(int channel = 0) { return *channels[channel].voice; }
  // periodOffset after each of the next n ticks.
  std::vector<int> periodOffsets(int n) {
    std::vector<int> out;
    for (int t = 0; t < n; ++t) {
      ticks(1);
      out.push_back(ch().periodOffset);
    }
    return out;
  }
};

TEST_F(EffectFixture, ArpeggioCyclesThroughItsThreeNotes) {
  cell(0) = {C4, 1, 0, 0x00, 0x37};
  start();
  EXPECT_EQ(periodOffsets(6), (std::vector<int>{0, 3 * 64, 7 * 64, 0, 3 * 64, 7 * 64}));
  ticks(1); // row 1 without the effect: plain note
  EXPECT_EQ(voice().frequency, 8363);
}

TEST_F(EffectFixture, PortaUpStopsAtPeriod56AndPortaDownHasNoLimit) {
  module.flags = 0; // Amiga periods
  cell(0) = {C4, 1, 0, 0x01, 0xFF};
  for (int r = 1; r < 4; ++r) cell(r) = {0, 0, 0, 0x01, 0x00}; // memory
  cell(4) = {0, 0, 0, 0x02, 0xFF};
  start();
  ticks(6 * 4);
  EXPECT_EQ(ch().period, 56);
  ticks(6);
  EXPECT_EQ(ch().period, 56 + 5 * 4 * 0xFF);
}

TEST_F(EffectFixture, TonePortamentoGlidesWithoutRestartingTheNote) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {D4, 1, 0, 0x03, 0x10};
  start();
  ticks(6);
  Voice* before = ch().voice;
  ticks(1);
  EXPECT_EQ(ch().voice, before); // no trigger, no hand-over
  EXPECT_EQ(ch().period, 4608);
  EXPECT_EQ(ch().portaTarget, 4480);
  ticks(1);
  EXPECT_EQ(ch().period, 4544);
  ticks(4);
  EXPECT_EQ(ch().period, 4480); // stops on the target
}

TEST_F(EffectFixture, VolumeColumnTonePortamentoBehavesTheSame) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {D4, 2, 0xF1, 0, 0};
  start();
  ticks(6);
  Voice* before = ch().voice;
  ticks(2);
  EXPECT_EQ(ch().voice, before);
  EXPECT_EQ(ch().instrument, 0); // the tone-portamento cell latches no instrument
  EXPECT_EQ(ch().period, 4608 - 4 * 16);
  EXPECT_EQ(ch().volume, 64); // the instrument column still resets, from the current sample
}

TEST_F(EffectFixture, SquareVibratoOffsetsAndPositionAdvance) {
  cell(0) = {C4, 1, 0, 0x0E, 0x42};
  cell(1) = {0, 0, 0, 0x04, 0xFF};
  start();
  ticks(6);
  EXPECT_EQ(periodOffsets(6), (std::vector<int>{-116, -116, -116, -116, 116, 116}));
}

TEST_F(EffectFixture, VibratoWithDepthZeroSendsNoOffset) {
  cell(0) = {C4, 1, 0, 0x04, 0x80};
  start();
  EXPECT_EQ(periodOffsets(6), (std::vector<int>(6, 0)));
}

TEST_F(EffectFixture, TremoloStaysWithinTheVolumeRangeAndLeavesItsLastOffset) {
  cell(0) = {C4, 1, 0x4C, 0x0E, 0x72}; // volume 60, square tremolo
  cell(1) = {0, 0, 0, 0x07, 0x8F};
  start();
  ticks(6);
  std::vector<int> offsets;
  for (int t = 0; t < 6; ++t) {
    ticks(1);
    offsets.push_back(ch().volumeOffset);
  }
  EXPECT_EQ(offsets, (std::vector<int>{0, 4, 4, 4, 4, -59}));
  ticks(1); // the next row has no tremolo: the last offset stays in the volume
  EXPECT_EQ(ch().volume, 1);
}

TEST_F(EffectFixture, TremorAlternatesOnAndOffTicks) {
  cell(0) = {C4, 1, 0, 0x1D, 0x12}; // T12: 2 ticks on, 3 off
  start();
  std::vector<int> volumes;
  for (int t = 0; t < 6; ++t) {
    ticks(1);
    volumes.push_back(voice().volume);
  }
  EXPECT_EQ(volumes, (std::vector<int>{128, 128, 0, 0, 0, 128}));
}

TEST_F(EffectFixture, VolumeSlidesAndFineSlides) {
  cell(0) = {C4, 1, 0x30, 0x0A, 0x10};
  cell(1) = {0, 0, 0x15, 0x0A, 0x0F};
  cell(2) = {0, 0, 0x30, 0x0E, 0xA3};
  cell(3) = {0, 0, 0, 0x0E, 0xB0}; // memory: down 3
  start();
  ticks(6);
  EXPECT_EQ(ch().volume, 32 + 5);
  ticks(2);
  EXPECT_EQ(ch().volume, 0); // 5 - 15, not below 0
  ticks(4);
  ticks(1);
  EXPECT_EQ(ch().volume, 35);
  ticks(6);
  EXPECT_EQ(ch().volume, 32);
}

TEST_F(EffectFixture, GlobalVolumeReachesLaterChannelsAtOnceAndEarlierOnesNextRow) {
  for (int c = 0; c < 4; ++c) cell(0, c) = {C4, 1, 0, 0, 0};
  cell(1, 3) = {0, 0, 0, 0x10, 0x20};
  start();
  ticks(7);
  EXPECT_EQ(voice(0).volume, 128);
  EXPECT_EQ(voice(2).volume, 128);
  EXPECT_EQ(voice(3).volume, 64);
  ticks(5);
  EXPECT_EQ(voice(0).volume, 128);
  ticks(1);
  EXPECT_EQ(voice(0).volume, 64);
}

TEST_F(EffectFixture, GlobalVolumeSlideRisesPerTick) {
  cell(0) = {C4, 1, 0, 0x10, 0x10};
  cell(1) = {0, 0, 0, 0x11, 0x20};
  start();
  ticks(6 + 6);
  EXPECT_EQ(song->globalVolume, 16 + 2 * 5);
}

TEST_F(EffectFixture, RetriggerOnlyOnMultiplesOfItsTick) {
  cell(0) = {C4, 1, 0, 0x0E, 0x93};
  start();
  ticks(3);
  EXPECT_EQ(voice().index, 0);
  ticks(1);
  EXPECT_EQ(voice().index, 32); // tick 3 restarted the note on the partner
  ticks(2);
  EXPECT_EQ(voice().index, 32);
  cell(0) = {C4, 1, 0, 0x0E, 0x90};
  start();
  ticks(6);
  EXPECT_EQ(voice().index, 0);
}

TEST_F(EffectFixture, NoteCutSilencesOnItsTick) {
  cell(0) = {C4, 1, 0, 0x0E, 0xC3};
  start();
  ticks(3);
  EXPECT_EQ(voice().volume, 128);
  ticks(1);
  EXPECT_EQ(voice().volume, 0);
  cell(0) = {C4, 1, 0, 0x0E, 0xC0};
  start();
  ticks(6);
  EXPECT_EQ(voice().volume, 128);
}

TEST_F(EffectFixture, NoteDelayStartsTheNoteOnItsTick) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {D4, 2, 0, 0x0E, 0xD3};
  start();
  ticks(6 + 3);
  EXPECT_EQ(voice().index, 0);
  EXPECT_EQ(voice().volume, 128); // the old note, untouched
  EXPECT_EQ(voice().frequency, 8363);
  ticks(1);
  EXPECT_EQ(voice().index, 32);
  EXPECT_EQ(voice().volume, 64);  // instrument 2's sample volume 32
  EXPECT_EQ(voice().panning, 200);
  EXPECT_EQ(ch().period, 4480);
}

TEST_F(EffectFixture, NoteDelayPastTheRowNeverStartsIt) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {D4, 2, 0, 0x0E, 0xD6};
  start();
  ticks(12);
  EXPECT_EQ(voice().index, 0);
  EXPECT_EQ(voice().volume, 128);
  EXPECT_EQ(voice().frequency, 8363);
}

TEST_F(EffectFixture, MultiRetrigChangesTheVolumeAndRestarts) {
  cell(0) = {C4, 1, 0, 0x1B, 0x14};
  start();
  ticks(4);
  EXPECT_EQ(voice().index, 0);
  ticks(1);
  EXPECT_EQ(voice().index, 32);
  EXPECT_EQ(ch().volume, 63);
  cell(0) = {C4, 1, 0, 0x1B, 0x84};
  start();
  ticks(5);
  EXPECT_EQ(voice().index, 32);
  EXPECT_EQ(ch().volume, 64);
}

TEST_F(EffectFixture, KeyOffWithoutEnvelopeCutsAtOnce) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {0, 0, 0, 0x14, 0x00};
  start();
  ticks(6);
  EXPECT_EQ(voice().volume, 128);
  ticks(1);
  EXPECT_EQ(voice().volume, 0);
}

TEST_F(EffectFixture, SampleOffsetStartsLaterOrRewindsPastTheEnd) {
  cell(0) = {C4, 1, 0, 0x09, 0x02};
  cell(1) = {C4, 1, 0, 0x09, 0xFF}; // past the 20000-sample end
  start();
  ticks(1);
  EXPECT_EQ(voice().position, 512u);
  voice().position = 9000;
  ticks(6);
  EXPECT_EQ(voice().index, 0); // no new note, the voice went back to its first frame
  EXPECT_EQ(voice().position, 0u);
}

TEST_F(EffectFixture, SampleOffsetWithoutANoteWaitsForTheNextNote) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {0, 0, 0, 0x09, 0x04};
  cell(5) = {C4, 1, 0, 0, 0};
  start();
  ticks(6 * 5 + 1);
  EXPECT_EQ(voice().index, 32);
  EXPECT_EQ(voice().position, 1024u);
}

TEST_F(EffectFixture, InstrumentAloneResetsWithoutRestarting) {
  cell(0) = {C4, 1, 0x20, 0, 0};
  cell(1) = {0, 1, 0, 0, 0};
  start();
  ticks(6);
  EXPECT_EQ(ch().volume, 16);
  ticks(1);
  EXPECT_EQ(ch().volume, 64);
  EXPECT_EQ(voice().index, 0);
}

TEST_F(EffectFixture, NotesInARowAlternateVoicesAndTheOldOneFades) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {C4, 1, 0, 0, 0};
  cell(2) = {C4, 1, 0, 0, 0};
  start();
  ticks(7);
  EXPECT_EQ(voice().index, 32);
  EXPECT_NE(voices[0].sample, nullptr);
  EXPECT_EQ(voices[0].gainA, 0);
  ticks(6);
  EXPECT_EQ(voice().index, 0);
}

TEST_F(EffectFixture, SetFinetuneStoresTheRawNibble) {
  cell(0) = {C4, 1, 0, 0x0E, 0x5F};
  cell(1) = {C4, 1, 0, 0, 0};
  start();
  ticks(7);
  EXPECT_EQ(song->instruments[0].samples[0]->finetune, 15);
  EXPECT_EQ(ch().notePeriod, 4608 - 7);
}

TEST_F(EffectFixture, PanningCommands) {
  cell(0) = {C4, 1, 0, 0x08, 0x40};
  cell(1) = {0, 0, 0, 0x19, 0x20}; // P20: right by 2 per tick
  cell(2) = {0, 0, 0xC3, 0x0E, 0x8F};
  start();
  ticks(1);
  EXPECT_EQ(voice().panning, 0x40);
  ticks(11);
  EXPECT_EQ(voice().panning, 0x40 + 2 * 5);
  ticks(1);
  EXPECT_EQ(ch().panning, 0xF0); // E8F after C3 in the volume column
}

TEST_F(EffectFixture, FineAndExtraFinePortamento) {
  cell(0) = {C4, 1, 0, 0x0E, 0x12};
  cell(1) = {0, 0, 0, 0x21, 0x13};
  cell(2) = {0, 0, 0, 0x21, 0x25};
  cell(3) = {0, 0, 0, 0x21, 0x20}; // memory: 5 down
  start();
  ticks(1);
  EXPECT_EQ(ch().period, 4608 - 8);
  ticks(6);
  EXPECT_EQ(ch().period, 4608 - 8 - 3);
  ticks(6);
  EXPECT_EQ(ch().period, 4608 - 8 - 3 + 5);
  ticks(6);
  EXPECT_EQ(ch().period, 4608 - 8 - 3 + 10);
}

TEST_F(EffectFixture, AutoVibratoSweepsIn) {
  module.instruments[0].vibratoType = 1; // square
  module.instruments[0].vibratoDepth = 8;
  module.instruments[0].vibratoSweep = 4;
  module.instruments[0].vibratoRate = 64;
  cell(0) = {C4, 1, 0, 0, 0};
  start();
  // a = 64 x 8 x sweep / 4 >> 6: sweep 0, 1, 2, 3, 4, 4 ; sign + + - - + +
  EXPECT_EQ(periodOffsets(6), (std::vector<int>{0, 2, -4, -6, 8, 8}));
}

} // namespace

namespace {

TEST_F(EffectFixture, PatternDelayTicksRunTheSameCellsOnward) {
  module.defaultSpeed = 4;
  cell(0, 0) = {C4, 1, 0, 0x0E, 0x93};
  cell(0, 1) = {0, 0, 0, 0x0E, 0xE1}; // the row lasts 8 ticks
  start();
  std::vector<int> voiceIndex;
  for (int t = 0; t < 8; ++t) {
    ticks(1);
    voiceIndex.push_back(voice().index);
  }
  EXPECT_EQ(voiceIndex, (std::vector<int>{0, 0, 0, 32, 32, 32, 0, 0}));
  EXPECT_EQ(song->row, 0);
  ticks(1);
  EXPECT_EQ(song->row, 1);
}

TEST_F(EffectFixture, HandOverCrossFadesOverTheRampWithoutAGap) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {C4, 1, 0, 0, 0};
  start();
  std::vector<float> out(2 * 882);
  for (int t = 0; t < 6; ++t) {
    ticks(1);
    mixVoices(out.data(), 882);
  }
  ticks(1); // row 1: the note starts again on voice 32
  std::fill(out.begin(), out.end(), 0.0f);
  mixVoices(out.data(), 200);
  // The old note falls as the new one rises: a constant sample sums to a constant.
  const float full = out[2 * 150];
  EXPECT_GT(full, 1000.0f);
  for (int k = 0; k < 200; ++k) EXPECT_NEAR(out[2 * k], full, 1.0f) << k;
  EXPECT_EQ(voices[0].currentGainA, 0);
  EXPECT_EQ(voices[0].rampFramesLeft, 0);
  EXPECT_EQ(voices[32].currentGainA, voices[32].gainA << GainFractionBits);
}

} // namespace

namespace {

TEST_F(EffectFixture, VolumeColumnSlidesOnTickZeroAndAfter) {
  cell(0) = {C4, 1, 0x30, 0, 0};
  cell(1) = {0, 0, 0x62, 0, 0}; // slide down 2: tick 0 and ticks 1..5
  cell(2) = {0, 0, 0x83, 0, 0}; // fine down 3: tick 0 only
  cell(3) = {0, 0, 0x74, 0, 0};
  cell(4) = {0, 0, 0x95, 0, 0};
  cell(5) = {0, 0, 0xD2, 0, 0}; // panning left 2 per tick, tick 0 included
  cell(6) = {0, 0, 0xE1, 0, 0};
  start();
  std::vector<int> volumes, pannings;
  for (int row = 0; row < 7; ++row) {
    ticks(6);
    volumes.push_back(ch().volume);
    pannings.push_back(ch().panning);
  }
  EXPECT_EQ(volumes, (std::vector<int>{32, 20, 17, 41, 46, 46, 46}));
  EXPECT_EQ(pannings, (std::vector<int>{128, 128, 128, 128, 128, 116, 122}));
}

TEST_F(EffectFixture, VolumeColumnVibratoSetsSpeedThenRunsWithItsDepth) {
  cell(0) = {C4, 1, 0xA3, 0, 0};
  cell(1) = {0, 0, 0xB4, 0, 0};
  start();
  ticks(7);
  EXPECT_EQ(ch().vibratoSpeed, 3);
  EXPECT_EQ(ch().vibratoDepth, 4);
  EXPECT_EQ(ch().vibratoPosition, 0); // nothing moves on tick 0
  ticks(1);
  EXPECT_EQ(ch().vibratoPosition, 3);
  EXPECT_EQ(ch().periodOffset, 0); // sine at position 0
  ticks(1);
  EXPECT_EQ(ch().periodOffset, -((74 * 4) >> 7) * 4); // |sin(6 pi / 64)| x 256 = 74
}

TEST_F(EffectFixture, PortamentoAndVibratoContinueUnderVolumeSlides) {
  cell(0) = {C4, 1, 0, 0, 0};
  cell(1) = {D4, 0, 0, 0x03, 0x02}; // sets the glide speed: 8 units per tick
  cell(2) = {0, 0, 0, 0x05, 0x02};  // keeps gliding, volume down 2 per tick
  cell(3) = {0, 0, 0, 0x04, 0x48};
  cell(4) = {0, 0, 0, 0x06, 0x30};  // keeps the vibrato, volume up 3 per tick
  start();
  ticks(12);
  EXPECT_EQ(ch().period, 4608 - 5 * 8);
  ticks(6);
  EXPECT_EQ(ch().period, 4608 - 10 * 8);
  EXPECT_EQ(ch().volume, 64 - 10);
  ticks(6);
  const std::int8_t position = ch().vibratoPosition;
  ticks(6);
  EXPECT_EQ(ch().vibratoPosition, static_cast<std::int8_t>(position + 5 * 4 - 64 * ((position + 20) > 31)));
  EXPECT_EQ(ch().volume, 64);
}

} // namespace
