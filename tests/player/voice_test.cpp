// Periods, frequencies, steps, volume and panning as the voice receives them.
#include <gtest/gtest.h>

#include <vector>

#include "player/channel.h"
#include "player/mixer.h"
#include "player/ring.h"

namespace {

struct VoiceFixture : ::testing::Test {
  Song song{};
  Sample sample{};
  Channel c{};
  void SetUp() override {
    configureRing(44100);
    song.flags = SongFlagLinear;
    song.globalVolume = 64;
    c.voice = &voices[0];
    c.volEnvOutput = 64;
    c.fadeoutVolume = FadeoutFull;
    c.panEnvOutput = 32;
  }
  Voice& voice() { return *c.voice; }
  void update(std::uint8_t flags) {
    c.updateFlags = flags;
    updateVoice(c, &sample, &song);
  }
};

TEST_F(VoiceFixture, LinearPeriodsAndFrequencies) {
  EXPECT_EQ(notePeriod(&song, 48, 0), 4608);
  EXPECT_EQ(notePeriod(&song, 60, 0), 3840);
  EXPECT_EQ(notePeriod(&song, 48, -127), 4608 + 63); // the finetune halves toward zero
  c.period = 4608;
  update(UpdateFrequency);
  EXPECT_EQ(voice().frequency, 8363);
  c.period = 3840;
  update(UpdateFrequency);
  EXPECT_EQ(voice().frequency, 16726);
  c.periodOffset = 768; // added in the exponent: an octave up
  update(UpdateFrequency);
  EXPECT_EQ(voice().frequency, 33452);
}

TEST_F(VoiceFixture, AmigaPeriodsFrequencyAndStep) {
  EXPECT_EQ(amigaPeriod(48, 0), 1712);
  EXPECT_EQ(amigaPeriod(0, 0), 27392);
  EXPECT_EQ(amigaPeriod(95, 0), 113);
  EXPECT_EQ(amigaPeriod(48, 64), 1664);
  EXPECT_EQ(amigaPeriod(48, -128), 1814);
  song.flags = 0;
  EXPECT_EQ(notePeriod(&song, 48, 0), 1712);
  c.period = 1712;
  update(UpdateFrequency);
  EXPECT_EQ(voice().frequency, 8362);
  EXPECT_EQ(voice().stepInteger, 0u);
  EXPECT_EQ(voice().stepFraction, 814388129u);
}

TEST_F(VoiceFixture, ZeroPeriodSendsNoFrequency) {
  c.period = 100;
  c.periodOffset = -100;
  voice().frequency = 1234;
  update(UpdateFrequency);
  EXPECT_EQ(voice().frequency, 1234);
}

TEST_F(VoiceFixture, StepStaysWithinWhatTheMixerTakes) {
  c.period = -30000; // far below any note: the linear formula gives a huge frequency
  update(UpdateFrequency);
  EXPECT_EQ(voice().stepInteger, 255u);
  song.flags = 0;
  c.period = 1; // Amiga: 14 MHz
  update(UpdateFrequency);
  EXPECT_EQ(voice().stepInteger, 255u);
  c.period = 1000000; // 14 Hz, raised to 100 for the step
  update(UpdateFrequency);
  EXPECT_EQ(voice().frequency, 14);
  EXPECT_EQ(voice().stepFraction, static_cast<std::uint32_t>((100ULL << 32) / 44100));
}

TEST_F(VoiceFixture, VolumeFormulaAndGains) {
  c.volume = 64;
  voice().panningCopy = 128;
  update(UpdateVolume);
  EXPECT_EQ(voice().volume, 128); // 127.5 rounds to even
  EXPECT_EQ(voice().gainA, 128 * 127 / 255); // left: 255 - panning
  EXPECT_EQ(voice().gainB, 128 * 128 / 255); // right: panning
  song.globalVolume = 0;
  update(UpdateVolume);
  EXPECT_EQ(voice().volume, 0);
  song.globalVolume = 64;
  c.volume = 32;
  c.fadeoutVolume = 32768;
  update(UpdateVolume);
  EXPECT_EQ(voice().volume, 32); // 31.875
}

TEST_F(VoiceFixture, PanningEnvelopeWidensWithDistanceFromTheEdges) {
  voice().volumeCopy = 100;
  c.panning = 128;
  c.panEnvOutput = 64;
  update(UpdatePanning);
  EXPECT_EQ(voice().panning, 255); // 128 + 32 x 4, clamped
  EXPECT_EQ(voice().gainA, 0);     // hard right
  EXPECT_EQ(voice().gainB, 100);
  c.panning = 0;
  update(UpdatePanning);
  EXPECT_EQ(voice().panning, 0);
  EXPECT_EQ(voice().gainA, 100); // hard left
  EXPECT_EQ(voice().gainB, 0);
  c.panning = 200;
  c.panEnvOutput = 0;
  update(UpdatePanning);
  EXPECT_EQ(voice().panning, 200 - 32 * 1); // (128 - 72) / 32 = 1
}

TEST_F(VoiceFixture, TriggerOnASoundingVoiceHandsOverToThePartner) {
  Sample old{};
  voices[0].sample = &old;
  voices[0].gainA = voices[0].gainB = 90;
  voices[0].position = 77;
  voices[0].startOffset = 40;
  sample.loopLength = 100;
  update(Trigger);
  EXPECT_EQ(c.voice, &voices[32]);
  EXPECT_EQ(voices[32].index, 32);
  EXPECT_EQ(voices[32].sample, &sample);
  EXPECT_EQ(voices[32].position, 40u); // the pending offset moved with it
  EXPECT_EQ(voices[32].currentGainA, 0);
  EXPECT_EQ(voices[0].sample, &old); // the old note keeps sounding, fading to 0
  EXPECT_EQ(voices[0].gainA, 0);
  EXPECT_EQ(voices[0].position, 77u);
  update(Trigger);
  EXPECT_EQ(c.voice, &voices[0]);
  EXPECT_EQ(voices[0].index, 0);
}

TEST_F(VoiceFixture, StartOffsetPastTheLoopEndStartsAtZero) {
  sample.loopStart = 10;
  sample.loopLength = 20;
  voice().startOffset = 30;
  update(Trigger);
  EXPECT_EQ(voice().position, 0u);
  voice().startOffset = 29;
  voice().sample = nullptr;
  update(Trigger);
  EXPECT_EQ(voice().position, 29u);
  EXPECT_EQ(voice().startOffset, 0u);
}

TEST_F(VoiceFixture, RewindPlaysForwardFromTheFirstFrame) {
  std::vector<std::int16_t> data(1000 + SampleGuardSamples, 100);
  sample.data = data.data();
  sample.length = 1000;
  sample.loopStart = 400;
  sample.loopLength = 600;
  sample.loopKind = LoopPingPong;
  voice().sample = &sample;
  voice().position = 700;
  voice().direction = DirectionBackward; // on its way back through the loop
  update(Rewind);
  EXPECT_EQ(voice().position, 0u);
  EXPECT_EQ(voice().direction, DirectionForward);
  std::vector<float> out(2 * 300);
  mixVoices(out.data(), 300);
  EXPECT_EQ(voice().position, 300u);
  EXPECT_EQ(voice().sample, &sample);
}

} // namespace
