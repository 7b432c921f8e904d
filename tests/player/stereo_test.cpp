// Where a voice sounds: panning 0 is the left channel (the first value of each output
// frame), 255 the right, 128 the middle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "player/render.h"
#include "tests/support/playerkit.h"

namespace {

constexpr int RowFrames = 6 * 882; // speed 6 at 125 BPM
constexpr int RowsPerVoice = 4;

// One channel; rows 0, 4 and 8 start instruments 1, 2 and 3: the same constant sample
// panned 0, 128 and 255. Each note hands the previous one over to fade out.
XmModule threePannings() {
  XmModule module = constantModule(1, 16, 200000, 100);
  module.instruments[0].samples[0].panning = 0;
  for (std::uint8_t panning : {128, 255}) {
    module.instruments.push_back(module.instruments[0]);
    module.instruments.back().samples[0].panning = panning;
  }
  for (int voice = 0; voice < 3; ++voice)
    module.patterns[0].at(voice * RowsPerVoice, 0) = {xmNote(0, 4), static_cast<std::uint8_t>(voice + 1), 0, 0, 0};
  return module;
}

struct Frame {
  int left, right;
};

// The frame in the middle of the stretch where voice `voice` plays alone.
Frame frameOfVoice(const std::vector<std::int16_t>& wave, int voice) {
  const std::size_t frame = static_cast<std::size_t>(voice * RowsPerVoice + RowsPerVoice / 2) * RowFrames;
  return {wave[2 * frame], wave[2 * frame + 1]};
}

TEST(Stereo, PanningZeroIsLeftCentreIsBothAnd255IsRight) {
  SongPtr song = loadModule(threePannings());
  std::vector<std::int16_t> wave(2 * 3 * RowsPerVoice * RowFrames);
  ASSERT_TRUE(renderSong(song.get(), wave.data(), static_cast<std::int64_t>(wave.size() / 2)));

  const Frame left = frameOfVoice(wave, 0);
  EXPECT_GT(left.left, 5000);
  EXPECT_EQ(left.right, 0);

  const Frame centre = frameOfVoice(wave, 1);
  EXPECT_GT(centre.left, 2500);
  EXPECT_LE(std::abs(centre.left - centre.right), centre.left / 50); // gains 63 and 64 of 255

  const Frame right = frameOfVoice(wave, 2);
  EXPECT_EQ(right.left, 0);
  EXPECT_EQ(right.right, left.left); // the mirror image of the first voice
}

} // namespace
