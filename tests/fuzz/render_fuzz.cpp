// A loaded module rendered offline for a few seconds of audio: whatever its patterns,
// effects, envelopes and sample loops say, the mixer stays inside the samples and the
// patterns, and every block ends.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "player/render.h"
#include "tests/fuzz/fuzzsong.h"

namespace {
constexpr std::int32_t Rate = 22050;
constexpr std::int64_t RenderedFrames = 3 * Rate; // three seconds
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > fuzz::LargestInput) return 0;
  const char* reason = nullptr;
  Song* song = fuzz::loadSong(data, size, &reason);
  if (!song) return 0;
  {
    std::vector<std::int16_t> out(std::size_t(RenderedFrames) * 2);
    OfflineRender render;
    if (render.start(song, Rate)) render.render(out.data(), RenderedFrames);
  }
  freeSongData(song);
  return 0;
}
