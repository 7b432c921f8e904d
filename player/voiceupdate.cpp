// The one place where channel state reaches the mixer: note starts (with the hand-over to
// the partner voice), volume and panning as gains, frequency as a 32.32 step. Panning 0 is
// hard left, 255 hard right: gainA (the left channel) falls as the panning rises.
#include "player/channel.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "content/maths.h"
#include "player/mixer.h"
#include "player/ring.h"

namespace {

// nearest(envelope x volume x fadeout x globalVolume x 255 / 2^35), in single precision:
// full scale (64 x 64 x 65536 x 64) gives 127.5, which rounds to 128.
constexpr float VolumeScale = 255.0f / 34359738368.0f;
constexpr std::int32_t PanningCentre = 128;
constexpr std::int32_t PanningEnvelopeDivisor = 32;
// Linear table: 8363 Hz at period 4608, doubling every 768 units.
constexpr double LinearBaseFrequency = 8363.0;
constexpr std::int32_t LinearBasePeriod = 4608;
constexpr double LinearPeriodsPerOctave = 768.0;
// Amiga table: frequency = AmigaClock / period.
constexpr std::int32_t AmigaClock = 14317056;
constexpr std::int32_t FrequencyMin = 100;
// The mixer needs a step below 256 source samples per output frame.
constexpr std::int64_t StepIntegerLimit = 256;
constexpr int StepFractionBits = 32;

void handOver(Channel& c) {
  Voice& old = *c.voice;
  const int partnerIndex = old.index < VoicePartnerOffset ? old.index + VoicePartnerOffset : old.index - VoicePartnerOffset;
  Voice& partner = voices[partnerIndex];
  partner = old;
  partner.index = partnerIndex;
  old.volume = old.volumeCopy = 0;
  old.gainA = old.gainB = 0; // the mixer ramps the old note down to silence
  c.voice = &partner;
}

void startNote(Channel& c, Sample* sample) {
  if (c.voice->sample) handOver(c);
  Voice& v = *c.voice;
  v.sample = sample;
  if (v.startOffset >= sample->loopStart + sample->loopLength) v.startOffset = 0;
  v.position = v.startOffset;
  v.positionFraction = 0;
  v.direction = DirectionForward;
  v.startOffset = 0;
  v.currentGainA = v.currentGainB = 0;
  v.rampFramesLeft = 0;
}

void setVolume(Channel& c, const Song* song) {
  float x = static_cast<float>(c.volEnvOutput);
  x *= static_cast<float>(c.volume + c.volumeOffset);
  x *= static_cast<float>(c.fadeoutVolume);
  x *= static_cast<float>(song->globalVolume);
  x *= VolumeScale;
  Voice& v = *c.voice;
  const std::int32_t volume = static_cast<std::int32_t>(roundToInt(x));
  v.volume = v.volumeCopy = volume;
  v.gainA = volume * (GainFull - v.panningCopy) / GainFull;
  v.gainB = volume * v.panningCopy / GainFull;
}

void setPanning(Channel& c) {
  const std::int32_t width = (PanningCentre - std::abs(c.panning - PanningCentre)) / PanningEnvelopeDivisor;
  std::int32_t pan = c.panning + (c.panEnvOutput - EnvelopePanningCentre) * width;
  pan = std::clamp(pan, 0, PanningMax);
  Voice& v = *c.voice;
  v.panning = v.panningCopy = pan;
  v.gainA = v.volumeCopy * (GainFull - pan) / GainFull;
  v.gainB = v.volumeCopy * pan / GainFull;
}

void setFrequency(Channel& c, const Song* song) {
  const std::int64_t limit = StepIntegerLimit * ring.outputRate - 1;
  std::int64_t frequency;
  if (song->flags & SongFlagLinear) {
    const double exponent = (LinearBasePeriod - c.period + c.periodOffset) / LinearPeriodsPerOctave;
    const double exact = LinearBaseFrequency * std::pow(2.0, exponent);
    frequency = exact < static_cast<double>(limit) ? roundToInt(exact) : limit;
  } else {
    frequency = std::min<std::int64_t>(AmigaClock / (c.period + c.periodOffset), limit);
  }
  Voice& v = *c.voice;
  v.frequency = static_cast<std::int32_t>(frequency); // as computed: the floor is for the step only
  frequency = std::clamp<std::int64_t>(frequency, FrequencyMin, limit);
  const std::uint64_t rate = static_cast<std::uint64_t>(ring.outputRate);
  const std::uint64_t f = static_cast<std::uint64_t>(frequency);
  v.stepInteger = static_cast<std::uint32_t>(f / rate);
  v.stepFraction = static_cast<std::uint32_t>(((f % rate) << StepFractionBits) / rate);
}

} // namespace

void updateVoice(Channel& c, Sample* sample, Song* song) {
  if (c.period + c.periodOffset == 0) c.updateFlags &= ~UpdateFrequency;
  if (c.updateFlags & Trigger) startNote(c, sample);
  if (c.updateFlags & UpdateVolume) setVolume(c, song);
  if (c.updateFlags & UpdatePanning) setPanning(c);
  if (c.updateFlags & UpdateFrequency) setFrequency(c, song);
  if (c.updateFlags & Rewind) {
    // Forward from the first frame: a ping-pong voice moving back from there would be
    // before its loop start, with no boundary ahead of it.
    Voice& v = *c.voice;
    v.position = v.positionFraction = 0;
    v.direction = DirectionForward;
    v.startOffset = 0;
  }
}
