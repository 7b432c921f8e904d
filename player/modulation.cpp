// The periodic effects (vibrato, tremolo, auto-vibrato, tremor) and the slides toward a
// target (tone portamento, volume slide). Positions: vibrato and tremolo run -32..31 (64
// steps per period), auto-vibrato 0..255.
#include "player/channel.h"

#include <algorithm>
#include <cmath>

#include "content/maths.h"
#include "player/effects.h"

namespace {

constexpr double SinePi = 3.141592; // the sines' pi
constexpr int WaveSteps = 64;       // vibrato / tremolo steps per period
constexpr int AutoWaveSteps = 256;
constexpr double WaveAmplitude = 256.0;
constexpr double AutoWaveAmplitude = 64.0;
constexpr int WaveHalfMask = 31;
constexpr std::int32_t WaveRampStep = 8;
constexpr std::int32_t WaveSquare = 255;
constexpr std::int8_t WavePositionMax = 31;
constexpr std::int32_t VibratoDepthShift = 7;
constexpr std::int32_t VibratoPeriodScale = 4;
constexpr std::int32_t TremoloDepthShift = 6;
constexpr std::int32_t AutoVibratoShift = 6;
constexpr std::int32_t AutoSquare = 64;
constexpr std::int32_t AutoHalf = 128;
constexpr std::int32_t AutoRampDownShift = 128;
constexpr std::int32_t AutoRampUpShift = 384;

// Waveform selectors.
constexpr std::uint8_t WaveformMask = 3;
constexpr std::uint8_t WaveSine = 0;
constexpr std::uint8_t WaveRamp = 1;
constexpr std::uint8_t TremoloWaveSquare = 2; // 2 only: 3 is a sine for the tremolo
constexpr int TremoloWaveShift = 4;
constexpr std::uint8_t AutoSine = 0, AutoSquareWave = 1, AutoRampDown = 2, AutoRampUp = 3;

// nearest(|sin(2 p pi / 64)| x 256) for p = -32..31, indexed by p + 32.
struct SineTables {
  std::int32_t wave[WaveSteps];
  std::int32_t autoWave[AutoWaveSteps]; // nearest(sin(2 q pi / 256) x 64), q = 0..255
  SineTables() {
    for (int p = -WaveSteps / 2; p < WaveSteps / 2; ++p)
      wave[p + WaveSteps / 2] =
          static_cast<std::int32_t>(roundToInt(std::fabs(sinD(2.0 * p * SinePi / WaveSteps)) * WaveAmplitude));
    for (int q = 0; q < AutoWaveSteps; ++q)
      autoWave[q] = static_cast<std::int32_t>(roundToInt(sinD(2.0 * q * SinePi / AutoWaveSteps) * AutoWaveAmplitude));
  }
};

// Built before main (no guarded function-local static, so no lock and no unwinding code).
const SineTables sines;

std::int32_t sineAmplitude(std::int8_t p) { return sines.wave[p + WaveSteps / 2]; }

std::int32_t rampAmplitude(std::int8_t p) {
  const std::int32_t i = p & WaveHalfMask;
  return p < 0 ? WaveSquare - i * WaveRampStep : i * WaveRampStep;
}

// 8-bit add, then folded back into -32..31.
std::int8_t advancePosition(std::int8_t position, std::uint8_t speed) {
  std::int8_t next = static_cast<std::int8_t>(static_cast<std::uint8_t>(position) + speed);
  if (next > WavePositionMax) next = static_cast<std::int8_t>(next - WaveSteps);
  return next;
}

std::int32_t autoAmplitude(std::uint8_t type, std::int32_t q) {
  switch (type) {
  case AutoSine: return sines.autoWave[q];
  case AutoSquareWave: return q < AutoHalf ? AutoSquare : -AutoSquare;
  case AutoRampDown: return (AutoHalf - ((q + AutoRampDownShift) % AutoWaveSteps)) >> 1;
  case AutoRampUp: return (AutoHalf - ((AutoRampUpShift - q) % AutoWaveSteps)) >> 1;
  default: return 0; // no such waveform in the format
  }
}

} // namespace

void computeVibrato(Channel& c) {
  const std::int8_t p = c.vibratoPosition;
  const std::uint8_t waveform = c.waveforms & WaveformMask;
  std::int32_t a = WaveSquare;
  if (waveform == WaveSine) a = sineAmplitude(p);
  else if (waveform == WaveRamp) a = rampAmplitude(p); // 2 and 3: square
  const std::int32_t d = ((a * c.vibratoDepth) >> VibratoDepthShift) * VibratoPeriodScale;
  c.periodOffset = p >= 0 ? -d : d;
  c.updateFlags |= UpdateFrequency;
}

void advanceVibrato(Channel& c) { c.vibratoPosition = advancePosition(c.vibratoPosition, c.vibratoSpeed); }

void stepTremolo(Channel& c) {
  const std::int8_t p = c.tremoloPosition;
  const std::uint8_t waveform = (c.waveforms >> TremoloWaveShift) & WaveformMask;
  std::int32_t a = sineAmplitude(p);
  if (waveform == WaveRamp) a = rampAmplitude(p);
  else if (waveform == TremoloWaveSquare) a = WaveSquare;
  std::int32_t o = (a * c.tremoloDepth) >> TremoloDepthShift;
  if (p >= 0) {
    if (c.volume + o > VolumeMax) o = VolumeMax - c.volume;
    c.volumeOffset = o;
  } else {
    if (static_cast<std::int16_t>(c.volume - o) < 0) o = c.volume;
    c.volumeOffset = -o;
  }
  c.tremoloPosition = advancePosition(c.tremoloPosition, c.tremoloSpeed);
  c.updateFlags |= UpdateVolume;
}

void stepAutoVibrato(Channel& c, const Instrument& instrument) {
  std::int32_t a = autoAmplitude(instrument.vibratoType, c.autoVibratoPosition) * instrument.vibratoDepth;
  if (instrument.vibratoSweep != 0) a = (a * c.autoVibratoSweep) / instrument.vibratoSweep;
  a >>= AutoVibratoShift;
  c.periodOffset += a;
  c.autoVibratoSweep = std::min<std::int32_t>(c.autoVibratoSweep + 1, instrument.vibratoSweep);
  c.autoVibratoPosition += instrument.vibratoRate;
  if (c.autoVibratoPosition > AutoWaveSteps - 1) c.autoVibratoPosition -= AutoWaveSteps;
  c.updateFlags |= UpdateFrequency;
}

void stepTonePortamento(Channel& c) {
  const std::int32_t move = PortaPeriodStep * c.portaSpeed;
  if (c.period < c.portaTarget) c.period = std::min(c.period + move, c.portaTarget);
  else if (c.period > c.portaTarget) c.period = std::max(c.period - move, c.portaTarget);
  c.updateFlags |= UpdateFrequency;
}

void stepTremor(Channel& c) {
  if (c.tremorCounter >= c.tremorOnTicks) c.volumeOffset = -c.volume;
  c.tremorCounter = static_cast<std::uint8_t>(c.tremorCounter + 1);
  if (c.tremorCounter == c.tremorOnTicks + c.tremorOffTicks) c.tremorCounter = 0;
  c.updateFlags |= UpdateVolume;
}

void raiseVolume(Channel& c, std::int32_t amount) {
  c.volume = std::min(c.volume + amount, VolumeMax);
  c.updateFlags |= UpdateVolume;
}

void lowerVolume(Channel& c, std::int32_t amount) {
  c.volume = std::max(c.volume - amount, 0);
  c.updateFlags |= UpdateVolume;
}

void shiftPanning(Channel& c, std::int32_t amount) {
  c.panning += amount;
  c.updateFlags |= UpdatePanning;
}

void slideVolume(Channel& c) {
  const std::int32_t up = c.volumeSlideMemory >> NibbleShift, down = c.volumeSlideMemory & NibbleMask;
  if (up) raiseVolume(c, up);
  else if (down) lowerVolume(c, down);
  c.updateFlags |= UpdateVolume;
}
