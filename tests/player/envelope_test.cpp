// Envelopes tick by tick: segments, sustain, loops, the last point, Lxx.
#include <gtest/gtest.h>

#include <vector>

#include "player/channel.h"

namespace {

struct EnvelopeFixture : ::testing::Test {
  Instrument instrument{};
  Channel c{};
  void setPoints(std::vector<EnvelopePoint> points, std::uint8_t type) {
    for (std::size_t k = 0; k < points.size(); ++k) instrument.volumeEnvelope[k] = points[k];
    instrument.numVolumePoints = static_cast<std::uint8_t>(points.size());
    instrument.volumeType = type;
  }
  std::vector<int> run(int ticks) {
    std::vector<int> outputs;
    for (int t = 0; t < ticks; ++t) {
      c.updateFlags = 0;
      stepEnvelope(c, volumeEnvelopeShape(instrument), volumeEnvelopeState(c), UpdateVolume);
      EXPECT_EQ(c.updateFlags, UpdateVolume);
      outputs.push_back(c.volEnvOutput);
    }
    return outputs;
  }
};

TEST_F(EnvelopeFixture, SegmentsInterpolateAndTheLastPointEnds) {
  setPoints({{0, 64}, {4, 0}, {6, 32}}, EnvelopeOn);
  EXPECT_EQ(run(9), (std::vector<int>{64, 48, 32, 16, 0, 16, 32, 32, 32}));
  EXPECT_EQ(c.volEnvDone, 1);
}

TEST_F(EnvelopeFixture, SustainHoldsUntilKeyOffThenContinues) {
  setPoints({{0, 64}, {2, 32}, {4, 0}}, EnvelopeOn | EnvelopeSustain);
  instrument.volumeSustainPoint = 1;
  EXPECT_EQ(run(6), (std::vector<int>{64, 48, 32, 32, 32, 32}));
  EXPECT_EQ(c.volEnvTick, 2); // frozen on the point
  c.keyOff = 1;
  EXPECT_EQ(run(3), (std::vector<int>{32, 16, 0}));
}

TEST_F(EnvelopeFixture, LoopEndingOnTheLastPointNeverFinishes) {
  setPoints({{0, 0}, {2, 64}, {4, 32}}, EnvelopeOn | EnvelopeLoop);
  instrument.volumeLoopStart = 1;
  instrument.volumeLoopEnd = 2;
  const std::vector<int> out = run(12);
  // The jump back lands on the loop start's value: the last point's is never output.
  EXPECT_EQ(out, (std::vector<int>{0, 32, 64, 48, 64, 48, 64, 48, 64, 48, 64, 48}));
  EXPECT_EQ(c.volEnvDone, 0);
}

TEST_F(EnvelopeFixture, SetPositionJumpsIntoASegment) {
  setPoints({{0, 0}, {10, 64}, {20, 0}}, EnvelopeOn);
  setVolumeEnvelopePosition(c, instrument, 15);
  EXPECT_EQ(c.volEnvPoint, 2);
  EXPECT_EQ(c.volEnvTick, 15);
  EXPECT_EQ(c.volEnvOutput, 32);
  EXPECT_EQ(run(2), (std::vector<int>{25, 19})); // continues down the segment
  setVolumeEnvelopePosition(c, instrument, 40);
  EXPECT_EQ(c.volEnvOutput, 0);
  EXPECT_EQ(c.volEnvDone, 1);
}

} // namespace
