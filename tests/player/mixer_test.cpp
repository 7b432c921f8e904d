// The mixer on hand-made voices: loop boundaries to the frame, gain ramps, conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "player/mixer.h"
#include "player/ring.h"
#include "player/song.h"

namespace {

constexpr std::uint32_t Half = 0x80000000u; // 0.5 in 2^-32 units

// A sample of `length` values plus the loader's guard samples.
struct TestSample {
  std::vector<std::int16_t> data;
  Sample sample{};
  TestSample(std::vector<std::int16_t> values, std::uint8_t loopKind, std::uint32_t loopStart, std::uint32_t loopLength) {
    data = values;
    data.resize(values.size() + SampleGuardSamples, 0);
    sample.data = data.data();
    sample.length = static_cast<std::uint32_t>(values.size());
    sample.loopKind = loopKind;
    sample.loopStart = loopKind == LoopNone ? 0 : loopStart;
    sample.loopLength = loopKind == LoopNone ? sample.length : loopLength;
    if (loopKind == LoopForward) data[loopStart + loopLength] = data[loopStart];
    if (loopKind == LoopPingPong) data[loopStart + loopLength] = data[loopStart + loopLength - 1];
  }
};

std::vector<std::int16_t> counting(int length) {
  std::vector<std::int16_t> values(length);
  for (int k = 0; k < length; ++k) values[k] = static_cast<std::int16_t>(k * 10);
  return values;
}

// Voice 0 playing `s` at step 1.0 with steady full gain on both sides (no ramp).
Voice& steadyVoice(Sample& s, std::uint32_t position = 0, std::uint32_t fraction = 0) {
  configureMixer(44100);
  Voice& v = voices[0];
  v.sample = &s;
  v.position = position;
  v.positionFraction = fraction;
  v.direction = DirectionForward;
  v.gainA = v.gainB = v.lastGainA = v.lastGainB = GainFull;
  v.currentGainA = v.currentGainB = GainFull << GainFractionBits;
  return v;
}

std::vector<float> mix(int frames) {
  std::vector<float> out(2 * frames, 0.0f);
  mixVoices(out.data(), frames);
  return out;
}

TEST(MixerLoops, UnloopedSampleEndsAfterExactlyItsLengthAndFreesTheVoice) {
  TestSample s(counting(50), LoopNone, 0, 0);
  Voice& v = steadyVoice(s.sample);
  const std::vector<float> out = mix(60);
  for (int k = 0; k < 50; ++k) EXPECT_FLOAT_EQ(out[2 * k], k * 10.0f) << k;
  for (int k = 50; k < 60; ++k) EXPECT_EQ(out[2 * k], 0.0f) << k;
  EXPECT_EQ(v.sample, nullptr);
  EXPECT_EQ(v.position, 0u);
  EXPECT_EQ(v.positionFraction, 0u);
}

TEST(MixerLoops, ForwardLoopFoldsBackToTheFrame) {
  TestSample s(counting(160), LoopForward, 100, 50);
  Voice& v = steadyVoice(s.sample, 149, Half);
  const std::vector<float> one = mix(1);
  EXPECT_FLOAT_EQ(one[0], (1490.0f + 1000.0f) / 2.0f); // interpolates into the guard (loop start)
  EXPECT_EQ(v.position, 100u);
  EXPECT_EQ(v.positionFraction, Half);
  // A long run stays inside the loop and keeps its fraction.
  mix(1000);
  EXPECT_GE(v.position, 100u);
  EXPECT_LT(v.position, 150u);
  EXPECT_EQ(v.positionFraction, Half);
}

TEST(MixerLoops, PingPongReflectsAtTheLoopEnd) {
  TestSample s(counting(160), LoopPingPong, 100, 50);
  Voice& v = steadyVoice(s.sample, 149, 0x40000000u); // 149.25
  mix(1);                                              // reaches 150.25
  EXPECT_EQ(v.direction, DirectionBackward);
  EXPECT_EQ(v.position, 149u);
  EXPECT_EQ(v.positionFraction, 0xBFFFFFFFu); // 149.75 - 2^-32
  // Backward it is heading for the loop start; after it the direction flips again.
  const std::vector<float> out = mix(60);
  EXPECT_EQ(v.direction, DirectionForward);
  EXPECT_GE(v.position, 100u);
  EXPECT_LT(v.position, 150u);
  EXPECT_FLOAT_EQ(out[0], 1490.0f); // the guard repeats the last loop sample
}

TEST(MixerLoops, StepsLongerThanThePingPongLoopStayInsideIt) {
  TestSample s(counting(8), LoopPingPong, 0, 4);
  Voice& v = steadyVoice(s.sample);
  v.stepInteger = 9; // every frame crosses both ends
  for (int call = 0; call < 50; ++call) {
    mix(3);
    ASSERT_LT(v.position, 4u) << call;
  }
}

TEST(MixerLoops, FoldNeverLandsBeforeTheFirstFrame) {
  // Step 0.5 with a position 2^-30 short of a half: the boundary count falls short of the
  // loop end by 2^-30, and the fold would go below frame 0.
  TestSample s(counting(8), LoopForward, 0, 4);
  Voice& v = steadyVoice(s.sample, 3, Half - 4);
  v.stepInteger = 0;
  v.stepFraction = Half;
  mix(1);
  EXPECT_EQ(v.position, 0u);
  EXPECT_EQ(v.positionFraction, 0u);
  for (int call = 0; call < 20; ++call) {
    mix(1);
    ASSERT_LT(v.position, 4u) << call;
  }
}

TEST(MixerLoops, BackwardCountNeverReachesBeforeTheFirstFrame) {
  // Two frames of 0.25 - 2^-32 from 0.5 - 3 x 2^-32 bring the voice to -2^-32: counted
  // with the step's lowest fraction bits left out, the boundary would seem three frames
  // away, and the third frame would read before the data.
  TestSample s(counting(100), LoopPingPong, 0, 100);
  Voice& v = steadyVoice(s.sample, 0, 0x7FFFFFFDu);
  v.stepInteger = 0;
  v.stepFraction = 0x3FFFFFFFu;
  v.direction = DirectionBackward;
  const std::vector<float> out = mix(4);
  EXPECT_EQ(v.direction, DirectionForward);
  EXPECT_EQ(out[2 * 2], 0.0f); // reflected to exactly the first frame, whose value is 0
  EXPECT_NEAR(out[2 * 3], 2.5f, 0.01f); // then on forward: 0.25 of the way to 10
}

TEST(MixerLoops, EmptySampleStopsAtOnceWithoutReadingData) {
  configureMixer(44100);
  Sample empty{};
  Voice& v = voices[3];
  v.sample = &empty;
  v.gainA = v.gainB = GainFull;
  const std::vector<float> out = mix(10);
  EXPECT_EQ(v.sample, nullptr);
  for (float value : out) EXPECT_EQ(value, 0.0f);
}

TEST(MixerRamps, GainChangeRampsLinearlyOverRampFrames) {
  TestSample s(std::vector<std::int16_t>(1000, 1000), LoopNone, 0, 0);
  Voice& v = steadyVoice(s.sample);
  v.currentGainA = v.currentGainB = 0;
  v.lastGainA = v.lastGainB = 0;
  ASSERT_EQ(rampFrames, 128);
  const std::vector<float> out = mix(140);
  for (int k = 0; k < 128; ++k) EXPECT_FLOAT_EQ(out[2 * k], 1000.0f * k / 128.0f) << k;
  for (int k = 128; k < 140; ++k) EXPECT_FLOAT_EQ(out[2 * k + 1], 1000.0f) << k;
  EXPECT_EQ(v.rampFramesLeft, 0);
  EXPECT_EQ(v.currentGainA, GainFull << GainFractionBits);
}

TEST(MixerRamps, SteadyGainsRenderWithoutARamp) {
  TestSample s(std::vector<std::int16_t>(100, 1000), LoopNone, 0, 0);
  Voice& v = steadyVoice(s.sample);
  v.gainB = v.lastGainB = 51;
  v.currentGainB = 51 << GainFractionBits;
  const std::vector<float> out = mix(7);
  for (int k = 0; k < 7; ++k) EXPECT_FLOAT_EQ(out[2 * k + 1], 1000.0f * (51.0f * (1.0f / 255.0f))) << k;
  EXPECT_EQ(v.rampFramesLeft, 0);
}

TEST(MixerRamps, RampSplitAcrossCallsMatchesOneCall) {
  TestSample s(counting(300), LoopNone, 0, 0);
  Voice& v = steadyVoice(s.sample);
  v.gainA = 10;
  v.gainB = 200;
  const std::vector<float> whole = mix(200);
  steadyVoice(s.sample);
  v.gainA = 10;
  v.gainB = 200;
  std::vector<float> split = mix(100);
  const std::vector<float> rest = mix(100);
  split.insert(split.end(), rest.begin(), rest.end());
  for (std::size_t k = 0; k < whole.size(); ++k) EXPECT_NEAR(whole[k], split[k], 0.05f) << k;
  EXPECT_EQ(v.rampFramesLeft, 0);
}

TEST(MixerRamps, TargetChangeMidRampRestartsFromTheAppliedGain) {
  TestSample s(std::vector<std::int16_t>(1000, 1000), LoopNone, 0, 0);
  Voice& v = steadyVoice(s.sample);
  v.currentGainA = v.currentGainB = 0;
  mix(64); // halfway up to 255
  EXPECT_NEAR(v.currentGainA, 255 * 128, 2);
  v.gainA = v.gainB = 0;
  const std::vector<float> out = mix(128);
  EXPECT_NEAR(out[0], 500.0f, 1.0f); // continues from where it was, now falling
  EXPECT_LT(out[2 * 100], out[0]);
  EXPECT_EQ(v.currentGainA, 0);
}

TEST(MixerConversion, RoundsToEvenAndClips) {
  const std::vector<float> in = {32767.5f, -32768.7f, 2.5f, -2.5f, 3.5f, 1e9f, -0.4f, 100.49f};
  std::vector<std::int16_t> out(in.size(), 7);
  convertBlock(out.data(), in.data(), static_cast<std::int32_t>(in.size() / 2));
  EXPECT_EQ(out, (std::vector<std::int16_t>{32767, -32768, 2, -2, 4, 32767, 0, 100}));
  convertBlock(out.data(), nullptr, 4);
  convertBlock(out.data(), in.data(), 0);
  EXPECT_EQ(out[0], 32767);
}

// The formula one value at a time, as the conversion must give it.
std::int16_t convertedOne(float value) {
  const double rounded = std::nearbyint(static_cast<double>(value));
  return static_cast<std::int16_t>(rounded < -32768.0 ? -32768 : rounded > 32767.0 ? 32767 : rounded);
}

TEST(MixerConversion, EveryLengthAndValueAsOneAtATime) {
  std::vector<float> in;
  for (float v = -33000.0f; v <= 33000.0f; v += 0.25f) in.push_back(v); // ties, halves, both clips
  for (float v : {32767.49f, 32767.5f, 32768.0f, -32768.5f, -32769.0f, 0.5f, -0.5f, 1.5f, -1.5f, -0.0f, 3e38f,
                  -3e38f, INFINITY, -INFINITY})
    in.push_back(v);
  if (in.size() % 2) in.push_back(0.0f);
  std::vector<std::int16_t> out(in.size());
  convertBlock(out.data(), in.data(), static_cast<std::int32_t>(in.size() / 2));
  for (std::size_t k = 0; k < in.size(); ++k) ASSERT_EQ(out[k], convertedOne(in[k])) << in[k];
  for (int frames = 1; frames < 12; ++frames) { // the lengths that leave a remainder
    std::vector<std::int16_t> part(2 * frames + 2, 99);
    convertBlock(part.data(), in.data() + 1001, frames);
    for (int k = 0; k < 2 * frames; ++k) ASSERT_EQ(part[k], convertedOne(in[1001 + k])) << frames;
    EXPECT_EQ(part[2 * frames], 99) << "written past the end, " << frames;
  }
}

// Voice 0 at `step` (32.32) in `direction` with gains 97 and 201, ramping up to them from
// silence or not, mixed into a buffer of noise: the floats after `frames` frames, and
// the voice after them.
struct PathRun {
  std::vector<float> out;
  Voice voice;
};

PathRun runPath(Sample& s, std::uint64_t step, std::int32_t direction, std::uint64_t start, int frames, bool ramp,
                bool wide) {
  configureMixer(44100);
  allowWideMixing(wide);
  Voice& v = voices[0];
  v.sample = &s;
  v.position = static_cast<std::uint32_t>(start >> 32);
  v.positionFraction = static_cast<std::uint32_t>(start);
  v.stepInteger = static_cast<std::uint32_t>(step >> 32);
  v.stepFraction = static_cast<std::uint32_t>(step);
  v.direction = direction;
  v.gainA = v.lastGainA = 97;
  v.gainB = v.lastGainB = 201;
  v.currentGainA = ramp ? 0 : 97 << GainFractionBits;
  v.currentGainB = ramp ? 0 : 201 << GainFractionBits;
  PathRun run;
  run.out.resize(2 * frames);
  for (int k = 0; k < 2 * frames; ++k) run.out[k] = static_cast<float>((k * 7919) % 2001 - 1000) * 0.37f;
  mixVoices(run.out.data(), frames);
  allowWideMixing(true);
  run.voice = v;
  return run;
}

TEST(MixerPaths, EightAndFourFrameLoopsGiveTheSameFloats) {
  std::vector<std::int16_t> values(30000);
  for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<std::int16_t>((k * 2654435761u) >> 16);
  TestSample forward(values, LoopForward, 1000, 20000);
  TestSample pingPong(values, LoopPingPong, 7, 3);
  TestSample longPingPong(values, LoopPingPong, 1000, 28000);
  struct Start {
    Sample* sample;
    std::int32_t direction;
    std::uint64_t position;
  };
  // Steps below one sample a frame, one, just below four, and near the top of the range.
  const std::uint64_t steps[] = {0x000000002A3B1C0Dull, 0x00000000FFFFFFFFull, 0x0000000100000000ull,
                                 0x00000003FFFFFFFFull, 0x000000FE12345678ull};
  for (const Start& start : {Start{&forward.sample, DirectionForward, (1500ull << 32) + 0x12345678u},
                             Start{&pingPong.sample, DirectionBackward, (8ull << 32) + 0x9ABCDEF0u},
                             Start{&longPingPong.sample, DirectionBackward, (25000ull << 32) + 0x87654321u}})
    for (std::uint64_t step : steps)
      for (bool ramp : {false, true})
        for (int frames : {0, 1, 2, 5, 7, 8, 9, 16, 23, 64, 127, 200, 883}) {
          const PathRun wide = runPath(*start.sample, step, start.direction, start.position, frames, ramp, true);
          const PathRun four = runPath(*start.sample, step, start.direction, start.position, frames, ramp, false);
          ASSERT_TRUE(frames == 0 || std::memcmp(wide.out.data(), four.out.data(), sizeof(float) * wide.out.size()) == 0)
              << step << " " << frames << " " << ramp;
          EXPECT_EQ(wide.voice.position, four.voice.position);
          EXPECT_EQ(wide.voice.positionFraction, four.voice.positionFraction);
          EXPECT_EQ(wide.voice.direction, four.voice.direction);
          EXPECT_EQ(wide.voice.currentGainA, four.voice.currentGainA);
          EXPECT_EQ(wide.voice.currentGainB, four.voice.currentGainB);
        }
}

TEST(MixerPaths, SilentVoiceMovesOnAsIfMixed) {
  std::vector<std::int16_t> values(5000, 3000);
  TestSample pingPong(values, LoopPingPong, 100, 900);
  TestSample forward(values, LoopForward, 10, 20);
  TestSample unlooped(values, LoopNone, 0, 0);
  for (Sample* s : {&pingPong.sample, &forward.sample, &unlooped.sample})
    for (int frames : {1, 2, 883, 1001, 2000}) {
      Voice after[2];
      for (int gain : {0, 1}) { // the same voice, silent and barely audible
        configureMixer(44100);
        Voice& v = voices[5];
        v.sample = s;
        v.position = 950;
        v.stepInteger = 3;
        v.stepFraction = 0x40000000u;
        v.direction = DirectionForward;
        v.gainA = v.gainB = v.lastGainA = v.lastGainB = gain;
        v.currentGainA = v.currentGainB = gain << GainFractionBits;
        std::vector<float> out(2 * frames, 0.0f);
        mixVoices(out.data(), frames);
        if (gain == 0) {
          for (float x : out) ASSERT_EQ(x, 0.0f);
        }
        after[gain] = v;
      }
      EXPECT_EQ(after[0].position, after[1].position) << frames;
      EXPECT_EQ(after[0].positionFraction, after[1].positionFraction) << frames;
      EXPECT_EQ(after[0].direction, after[1].direction) << frames;
      EXPECT_EQ(after[0].sample, after[1].sample) << frames;
    }
}

TEST(MixerFormat, RingAndRampSizesFollowTheRate) {
  configureRing(44100);
  EXPECT_EQ(ring.blockFrames, 884);
  EXPECT_EQ(ring.ringFrames, 88400);
  EXPECT_EQ(ring.blockCount, 100);
  EXPECT_EQ(rampFrames, 128);
  configureRing(22050);
  EXPECT_EQ(ring.blockFrames, 444);
  EXPECT_EQ(ring.ringFrames, 44400);
  EXPECT_EQ(rampFrames, 64);
  configureRing(44100);
  EXPECT_EQ(voices[40].index, 40);
  EXPECT_EQ(voices[40].stepInteger, 1u);
}

} // namespace
