// The fuzz targets' seed modules (tests/fuzz/corpus/) still load and play: a seed the
// loader refuses would start the fuzzer from nothing. Each is played as the render
// target plays it; the busy ones once made the mixer read far outside a sample (a sample
// offset past the end of a ping-pong sample left the voice moving backwards), which the
// sanitizer build sees.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "player/render.h"
#include "tests/support/songfile.h"

namespace {

TEST(FuzzSeeds, EveryLoaderSeedLoadsAndPlays) {
  const std::filesystem::path corpus = std::filesystem::path(NYRA_SOURCE_DIR) / "tests/fuzz/corpus/loader";
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const char* reason = nullptr;
    SongPtr song = loadSongBytes(bytes, nullptr, &reason);
    ASSERT_TRUE(song) << reason;
    std::vector<std::int16_t> out(2 * 3 * 22050);
    OfflineRender render;
    ASSERT_TRUE(render.start(song.get(), 22050));
    render.render(out.data(), 3 * 22050);
    render.finish();
    bool sounds = false;
    for (std::int16_t value : out) sounds = sounds || value != 0;
    EXPECT_TRUE(sounds);
    ++seeds;
  }
  EXPECT_GE(seeds, 6);
}

} // namespace
