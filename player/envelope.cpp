// Instrument envelopes, one tick at a time: linear segments between points in 16.16
// fixed point, a sustain point that holds until key-off, and a loop.
#include "player/channel.h"

namespace {

constexpr std::int32_t EnvelopeOne = 1 << EnvelopeFixedShift;

// Values are 0..64 in any sane file; wider ones wrap instead of overflowing.
std::int32_t segmentStep(const EnvelopePoint& from, const EnvelopePoint& to) {
  if (to.x == from.x) return 0;
  return static_cast<std::int32_t>((std::int64_t{to.y} - from.y) * EnvelopeOne / (to.x - from.x));
}

std::int32_t pointValue(const EnvelopePoint& point) { return static_cast<std::int32_t>(std::int64_t{point.y} * EnvelopeOne); }

std::int32_t wrappingAdd(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

} // namespace

EnvelopeState volumeEnvelopeState(Channel& c) {
  return {c.volEnvTick, c.volEnvPoint, c.volEnvValue, c.volEnvStep, c.volEnvOutput, c.volEnvDone};
}

EnvelopeState panningEnvelopeState(Channel& c) {
  return {c.panEnvTick, c.panEnvPoint, c.panEnvValue, c.panEnvStep, c.panEnvOutput, c.panEnvDone};
}

EnvelopeShape volumeEnvelopeShape(const Instrument& i) {
  return {i.volumeEnvelope, i.numVolumePoints, i.volumeSustainPoint, i.volumeLoopStart, i.volumeLoopEnd, i.volumeType};
}

EnvelopeShape panningEnvelopeShape(const Instrument& i) {
  return {i.panningEnvelope, i.numPanningPoints, i.panningSustainPoint, i.panningLoopStart, i.panningLoopEnd,
          i.panningType};
}

void stepEnvelope(Channel& channel, const EnvelopeShape& shape, const EnvelopeState& state, std::uint8_t updateFlag) {
  const EnvelopePoint* p = shape.points;
  const std::int32_t n = shape.count;
  std::int32_t& i = state.point;
  if (i < n) {
    if (p[i].x == state.tick) {
      if ((shape.type & EnvelopeLoop) && i == shape.loopEnd) {
        i = shape.loopStart;
        state.tick = p[i].x;
      }
      if (i == n - 1) {
        state.output = p[i].y;
        state.done = 1;
        channel.updateFlags |= updateFlag;
        return;
      }
      if ((shape.type & EnvelopeSustain) && i == shape.sustainPoint && !channel.keyOff) {
        state.output = p[i].y;
        channel.updateFlags |= updateFlag;
        return;
      }
      state.step = segmentStep(p[i], p[i + 1]);
      state.value = pointValue(p[i]);
      i += 1;
    } else {
      state.value = wrappingAdd(state.value, state.step);
    }
  }
  state.output = state.value >> EnvelopeFixedShift;
  state.tick += 1;
  channel.updateFlags |= updateFlag;
}

void setVolumeEnvelopePosition(Channel& c, const Instrument& instrument, std::int32_t tick) {
  const EnvelopePoint* p = instrument.volumeEnvelope;
  const std::int32_t n = instrument.numVolumePoints;
  std::int32_t i = 0;
  while (i < n - 1 && tick > p[i + 1].x) i += 1;
  c.volEnvPoint = i;
  if (i >= n - 1) {
    c.volEnvOutput = n > 0 ? p[n - 1].y : 0;
    c.volEnvDone = 1;
    return;
  }
  c.volEnvDone = 0;
  c.volEnvTick = tick;
  c.volEnvStep = segmentStep(p[i], p[i + 1]);
  c.volEnvValue = static_cast<std::int32_t>(pointValue(p[i]) + std::int64_t{c.volEnvStep} * (tick - p[i].x));
  c.volEnvOutput = c.volEnvValue >> EnvelopeFixedShift;
  c.volEnvPoint += 1;
}
