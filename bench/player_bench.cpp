// Offline rendering speed of the player with every channel of a 4-channel module busy:
// notes retriggering, forward and ping-pong loops, envelopes, vibrato and slides.
// "xRealtime" is seconds of audio rendered per second of wall time.
#include <benchmark/benchmark.h>

#include <vector>

#include "player/mixer.h"
#include "player/render.h"
#include "tests/support/playerkit.h"

namespace {

XmInstrument busyInstrument(std::uint8_t loopType) {
  XmSample sample = sawSample(6000);
  sample.loop(loopType, 1000, 4000);
  XmInstrument instrument = XmInstrument::withSample(sample);
  instrument.volumeEnvelope.points = {{0, 64}, {8, 40}, {16, 56}, {40, 20}};
  instrument.volumeEnvelope.type = 1 | 2 | 4; // on, sustain, loop
  instrument.volumeEnvelope.sustainPoint = 3;
  instrument.volumeEnvelope.loopStart = 1;
  instrument.volumeEnvelope.loopEnd = 2;
  instrument.panningEnvelope.points = {{0, 0}, {20, 64}, {40, 32}};
  instrument.panningEnvelope.type = 1;
  instrument.vibratoType = 0;
  instrument.vibratoDepth = 6;
  instrument.vibratoRate = 20;
  instrument.vibratoSweep = 10;
  instrument.fadeout = 200;
  return instrument;
}

XmModule busyModule() {
  XmModule module;
  module.numChannels = 4;
  module.defaultSpeed = 3;
  module.orders = {0};
  XmPattern& pattern = module.addPattern(64);
  module.instruments.push_back(busyInstrument(1));
  module.instruments.push_back(busyInstrument(2));
  const std::uint8_t effects[4][2] = {{0x04, 0x48}, {0x00, 0x37}, {0x0A, 0x02}, {0x03, 0x20}};
  for (int row = 0; row < 64; ++row)
    for (int ch = 0; ch < 4; ++ch) {
      const bool note = (row + ch) % 2 == 0;
      const auto n = static_cast<std::uint8_t>(37 + (row * 5 + ch * 7) % 36);
      pattern.at(row, ch) = {note ? n : std::uint8_t{0}, static_cast<std::uint8_t>(note ? 1 + ch % 2 : 0), 0,
                             effects[ch][0], effects[ch][1]};
    }
  return module;
}

// `wide`: the mixer may take its eight-frame loops where the processor has AVX2; if not,
// it keeps to the four-frame loop every x86-64 processor has.
void renderBusyModule(benchmark::State& state, bool wide) {
  allowWideMixing(wide);
  SongPtr song = loadModule(busyModule());
  OfflineRender render;
  render.start(song.get());
  constexpr int BlocksPerIteration = 50; // one second of audio
  std::int64_t frames = 0;
  for (auto _ : state) {
    for (int b = 0; b < BlocksPerIteration; ++b) benchmark::DoNotOptimize(render.nextBlock());
    frames += BlocksPerIteration * render.blockFrames();
  }
  state.counters["xRealtime"] = benchmark::Counter(static_cast<double>(frames) / OfflineRate, benchmark::Counter::kIsRate);
  allowWideMixing(true);
}

void BM_OfflineRenderBusyModule(benchmark::State& state) { renderBusyModule(state, true); }
BENCHMARK(BM_OfflineRenderBusyModule)->Unit(benchmark::kMillisecond);

void BM_OfflineRenderBusyModuleFourFrameLoops(benchmark::State& state) { renderBusyModule(state, false); }
BENCHMARK(BM_OfflineRenderBusyModuleFourFrameLoops)->Unit(benchmark::kMillisecond);

} // namespace
