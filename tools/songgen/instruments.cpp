#include "tools/songgen/instruments.h"

#include "tools/songgen/synth.h"

namespace songgen {
namespace {

// A sample recorded at BaseRate plays at its own pitch on note C-4 (relative note 0);
// each octave up doubles it.
constexpr std::int32_t BaseRate = 8363;
constexpr std::int32_t DoubleRate = 2 * BaseRate;
constexpr std::int8_t OctaveUp = 12;
constexpr std::uint8_t PanCentre = 128;
constexpr std::uint8_t PanCymbal = 156; // a little to the left (255 = left)
constexpr std::uint8_t PanLead = 108;   // a little to the right
constexpr int SamplePeak = 120; // of 127: headroom for the interpolating mixer
constexpr std::uint32_t SeedSnare = 0x2F6E2B1u, SeedCymbal = 0x9E3779B9u, SeedKick = 0x1234567u;

// Per-sample decay factors in Q16 for time constants at the sample's own rate:
// factor = exp(-1 / (seconds x rate)) x 65536.
constexpr std::int32_t KickPitchDecay = 65275; // 30 ms at 8363 Hz
constexpr std::int32_t KickLevelDecay = 65471; // 120 ms at 8363 Hz
constexpr std::int32_t KickClickDecay = 62500; // 2 ms at 8363 Hz
constexpr std::int32_t SnareToneDecay = 65438; // 40 ms at 16726 Hz
constexpr std::int32_t SnareNoiseDecay = 65480; // 70 ms at 16726 Hz
constexpr std::int32_t SnareSweepDecay = 65275; // 15 ms at 16726 Hz
constexpr std::int32_t CymbalDecay = 65520;    // 250 ms at 16726 Hz

std::int32_t mulQ16(std::int32_t value, std::int32_t levelQ16) {
  return static_cast<std::int32_t>((std::int64_t{value} * levelQ16) >> 16);
}

// Kick: a sine whose pitch falls from 166 Hz to 46 Hz, with a short noise click, lightly
// saturated (x (3 - x^2) / 2) for punch. 0.32 s at 8363 Hz.
std::vector<std::int8_t> kickSample() {
  constexpr int Frames = 2676;
  constexpr std::int64_t FloorHz = 46, SweepHz = 120;
  Decay pitch(KickPitchDecay), level(KickLevelDecay), click(KickClickDecay);
  Noise noise(SeedKick);
  Phase phase = 0;
  std::vector<std::int32_t> out;
  for (int n = 0; n < Frames; ++n) {
    const std::int64_t hertzQ16 = (FloorHz << 16) + SweepHz * pitch.level();
    // 0.8 sine plus a click of at most 0.125: the saturator's input stays below 1.
    std::int32_t x = mulQ16(sineQ15(phase) * 4 / 5, level.level()) + mulQ16(noise.next() / 8, click.level());
    const std::int64_t x3 = std::int64_t{x} * x / 32768 * x / 32768;
    x = static_cast<std::int32_t>((3 * std::int64_t{x} - x3) / 2);
    out.push_back(x);
    phase += phaseStep(hertzQ16, BaseRate);
    pitch.step(); level.step(); click.step();
  }
  return normalise(out, SamplePeak);
}

// Snare: a falling 185 Hz body under high-passed noise. 0.22 s at 16726 Hz.
std::vector<std::int8_t> snareSample() {
  constexpr int Frames = 3680;
  constexpr std::int64_t BodyHz = 150, BodySweepHz = 35;
  Decay tone(SnareToneDecay), hiss(SnareNoiseDecay), sweep(SnareSweepDecay);
  Noise noise(SeedSnare);
  Phase phase = 0;
  std::int32_t low = 0;
  std::vector<std::int32_t> out;
  for (int n = 0; n < Frames; ++n) {
    const std::int32_t raw = noise.next();
    low += (raw - low) / 4;
    const std::int32_t high = raw - low;
    const std::int32_t body = mulQ16(sineQ15(phase), tone.level());
    out.push_back(body * 3 / 5 + mulQ16(high, hiss.level()) * 7 / 10);
    phase += phaseStep((BodyHz << 16) + BodySweepHz * sweep.level(), DoubleRate);
    tone.step(); hiss.step(); sweep.step();
  }
  return normalise(out, SamplePeak);
}

// Cymbal: noise with six inharmonic square partials, twice high-passed, decaying over
// 0.75 s at 16726 Hz. Cut after a tick or two it is a closed hi-hat.
std::vector<std::int8_t> cymbalSample() {
  constexpr int Frames = 12544;
  constexpr std::int64_t PartialsHz[6] = {821, 1218, 1478, 2091, 2160, 3200};
  Decay level(CymbalDecay);
  Noise noise(SeedCymbal);
  Phase phases[6] = {};
  std::int32_t low1 = 0, low2 = 0;
  std::vector<std::int32_t> out;
  for (int n = 0; n < Frames; ++n) {
    std::int32_t metal = 0;
    for (int k = 0; k < 6; ++k) {
      metal += (phases[k] >> 31) ? 2048 : -2048;
      phases[k] += phaseStep(PartialsHz[k] << 16, DoubleRate);
    }
    const std::int32_t raw = noise.next() * 7 / 10 + metal;
    low1 += (raw - low1) / 2;
    const std::int32_t high1 = raw - low1;
    low2 += (high1 - low2) / 2;
    out.push_back(mulQ16(high1 - low2, level.level()));
    level.step();
  }
  return normalise(out, SamplePeak);
}

// Bass: one 128-frame cycle (C2 at 8363 Hz) of a band-limited saw over a sine sub.
std::vector<std::int8_t> bassSample() {
  constexpr int Frames = 128;
  constexpr int Harmonics = 14;
  std::vector<std::int32_t> out;
  for (int n = 0; n < Frames; ++n) {
    const Phase phase = static_cast<Phase>((std::uint64_t{1} << 32) * n / Frames);
    out.push_back(sawQ15(phase, Harmonics) + sineQ15(phase) / 2);
  }
  return normalise(out, SamplePeak);
}

// Lead: two band-limited saws detuned by one cycle per loop (127 and 128 cycles in 4080
// frames, a mean period of 32 frames: C4 at 8363 Hz), so the loop beats gently.
std::vector<std::int8_t> leadSample() {
  constexpr std::uint64_t Frames = 4080;
  constexpr std::uint64_t CyclesA = 127, CyclesB = 128;
  constexpr int Harmonics = 12;
  std::vector<std::int32_t> out;
  for (std::uint64_t n = 0; n < Frames; ++n) {
    const auto a = static_cast<Phase>(((n * CyclesA) << 32) / Frames);
    const auto b = static_cast<Phase>(((n * CyclesB) << 32) / Frames);
    out.push_back(sawQ15(a, Harmonics) + sawQ15(b, Harmonics));
  }
  return normalise(out, SamplePeak);
}

XmInstrument drum(const char* name, std::vector<std::int8_t> data, std::uint8_t volume,
                  std::uint8_t panning, std::int8_t relativeNote) {
  XmInstrument ins;
  ins.name = name;
  ins.data = std::move(data);
  ins.volume = volume;
  ins.panning = panning;
  ins.relativeNote = relativeNote;
  return ins;
}

} // namespace

std::vector<XmInstrument> makeInstruments() {
  std::vector<XmInstrument> list;
  list.push_back(drum("kick", kickSample(), 64, PanCentre, 0));
  list.push_back(drum("snare", snareSample(), 56, PanCentre, OctaveUp));
  list.push_back(drum("cymbal", cymbalSample(), 48, PanCymbal, OctaveUp));

  XmInstrument bass;
  bass.name = "bass";
  bass.data = bassSample();
  bass.looped = true;
  bass.volume = 52;
  bass.panning = PanCentre;
  bass.relativeNote = 2 * OctaveUp; // the 128-frame cycle is C2: written C-2 sounds C2
  // Envelopes in ticks (20 ms): the bass plucks and settles; the lead swells in and
  // holds until released.
  bass.volumeEnvelope = {{0, 64}, {2, 56}, {10, 44}, {40, 32}, {120, 26}};
  bass.volumeFadeout = 2048;
  list.push_back(std::move(bass));

  XmInstrument lead;
  lead.name = "lead";
  lead.data = leadSample();
  lead.looped = true;
  lead.volume = 44;
  lead.panning = PanLead;
  lead.volumeEnvelope = {{0, 52}, {1, 64}, {6, 50}, {24, 42}};
  lead.volumeSustainPoint = 3;
  lead.volumeFadeout = 1024;
  lead.vibratoType = 0; // a slow sine shimmer of about 5 cents, faded in over 24 ticks
  lead.vibratoSweep = 24;
  lead.vibratoDepth = 3;
  lead.vibratoRate = 16;
  list.push_back(std::move(lead));
  return list;
}

} // namespace songgen
