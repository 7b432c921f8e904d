// One whole frame of each timeline state at 640 x 480, as renderFrame makes it: clear,
// the state's layers, a flash at full strength, present (with no video sink, so the
// picture goes nowhere). On the show's own device and content, with the clock held at
// values spread evenly over the show's 153 seconds.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "direction/demo.h"
#include "direction/globals.h"
#include "direction/timeline.h"
#include "platform/port/backend.h"
#include "platform/port/testhooks.h"
#include "shell/globals.h"
#include "shell/shell.h"
#include "tests/support/showleftovers.h"

namespace {

constexpr int TimelineStates = 7;
constexpr std::uint32_t ShowMs = 153000; // 1907 rows of 80 ms
constexpr std::uint32_t ClockSteps = 16;
constexpr DWORD FullFlash = 260;
constexpr D3DCOLOR Black = 0;
constexpr float FarDepth = 1.0f;

// timeGetTime reads the value the benchmark set.
class HeldClock final : public port::Clock {
public:
  std::uint32_t nowMs() override { return now; }
  void sleepMs(std::uint32_t ms) override { now += ms; }
  std::uint32_t now = 0;
};

// initDirect3D and the start-up content, as the show makes them before its first frame.
class Show {
public:
  Show() {
    port::resetTestHooks();
    port::keepPresentedPictures(false); // the picture goes nowhere, as in the show
    port::setClock(&clock);
    ok = initDirect3D(nullptr) == S_OK && screenWidth == 640 && makeDemoContent() == S_OK;
  }
  ~Show() {
    releaseShowLeftovers();
    shutdownDemo();
    resetShell();
    resetDirectionGlobals();
    port::setClock(nullptr);
    port::keepPresentedPictures(true);
  }
  HeldClock clock;
  bool ok = false;
};

// What renderFrame does for `state` once the song has picked it, in a frame that draws
// the flash (which the previous frame's flash level then also shapes).
HRESULT stateFrame(int state) {
  if (FAILED(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, Black, FarDepth, 0))) return E_FAIL;
  if (FAILED(device->BeginScene())) return E_FAIL;
  if (FAILED(drawTimelineLayers(state))) return E_FAIL;
  flashLevel = static_cast<std::int32_t>(FullFlash);
  drawFlash(glowTexture, FullFlash);
  device->EndScene();
  return device->Present(nullptr, nullptr, nullptr, nullptr);
}

// One iteration is ClockSteps frames, one at each clock value, so that every run samples
// the whole show evenly; "fps" counts frames.
void BM_TimelineStateFrame(benchmark::State& state) {
  const int timelineStateShown = static_cast<int>(state.range(0));
  Show show;
  if (!show.ok) {
    state.SkipWithError("the show's device or content could not be made");
    return;
  }
  flashLevel = static_cast<std::int32_t>(FullFlash);
  for (auto _ : state) {
    for (std::uint32_t step = 0; step < ClockSteps; ++step) {
      show.clock.now = ShowMs / ClockSteps * step + ShowMs / ClockSteps / 2;
      if (FAILED(stateFrame(timelineStateShown))) {
        state.SkipWithError("a frame failed");
        return;
      }
    }
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations() * ClockSteps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TimelineStateFrame)->DenseRange(0, TimelineStates - 1)->ArgName("state")->Unit(benchmark::kMillisecond);

} // namespace
