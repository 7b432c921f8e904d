// The nyra executable as a user runs it: options, no display, and a real X window
// under Xvfb that closes on a synthetic Escape and shows the title over the backdrop.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/shell/nyrarun.h"
#include "tests/shell/titlestrokes.h"

namespace {

const std::string& Nyra = nyraBinary();

bool haveXvfb() { return run("command -v xvfb-run").exitCode == 0; }

constexpr int ScalingSlack = 0x20; // what the window's filtering may take off

TEST(NyraProcess, HelpAndBadOptions) {
  Outcome help = run(Nyra + " --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("--windowed"), std::string::npos);
  Outcome bad = run(Nyra + " --bogus");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.output.find("unknown option '--bogus'"), std::string::npos);
}

TEST(NyraProcess, NoDisplaySaysWhatIsMissingAndEnds) {
  Outcome o = run("env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 20 " + Nyra);
  EXPECT_EQ(o.exitCode, 1) << o.output;
  EXPECT_NE(o.output.find("neither DISPLAY nor WAYLAND_DISPLAY is set"), std::string::npos)
      << o.output;
}

// Full screen on a 1024 x 600 virtual screen: the 4:3 picture is 800 x 600 with 112-pixel
// black bars left and right.
constexpr int ScreenWidth = 1024;
constexpr int ScreenHeight = 600;
constexpr int BarWidth = 112;

TEST(NyraProcess, RealWindowShowsThePictureLetterboxedAndClosesOnEscape) {
  if (!haveXvfb()) GTEST_SKIP() << "xvfb-run is not installed";
  std::filesystem::path shot =
      std::filesystem::temp_directory_path() / ("nyra-window-" + std::to_string(getpid()) + ".bmp");
  std::filesystem::remove(shot);
  // Under the leak checker, the X11 and D-Bus libraries SDL loads keep allocations to
  // the end of the process; the show's own memory is checked by the in-process tests.
  Outcome o = run("env -u SDL_VIDEODRIVER -u WAYLAND_DISPLAY ASAN_OPTIONS=detect_leaks=0 "
                  "timeout 120 xvfb-run -a -s '-screen 0 1024x600x24' " +
                  Nyra + " --escape-after 60 --screenshot " + shot.string());
  ASSERT_EQ(o.exitCode, 0) << o.output;
  SDL_Surface* loaded = SDL_LoadBMP(shot.string().c_str());
  ASSERT_NE(loaded, nullptr) << SDL_GetError() << "\n" << o.output;
  SDL_Surface* picture = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB888, 0);
  SDL_FreeSurface(loaded);
  ASSERT_NE(picture, nullptr);
  ASSERT_EQ(picture->w, ScreenWidth);
  ASSERT_EQ(picture->h, ScreenHeight);
  auto at = [&](int x, int y) {
    auto* row = static_cast<const std::uint8_t*>(picture->pixels) + y * picture->pitch;
    return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFFu;
  };
  // Where the title's strokes are, from the same title drawn in-process over black.
  const std::vector<std::pair<int, int>> strokes = titleStrokes();
  ASSERT_GT(strokes.size(), 100u);
  int barFaults = 0;
  std::set<std::uint32_t> colours;
  for (int y = 0; y < ScreenHeight; y += 7) {
    for (int x = 0; x < BarWidth - 2; x += 5) {
      if (at(x, y) != 0) ++barFaults;
      if (at(ScreenWidth - 1 - x, y) != 0) ++barFaults;
    }
    for (int x = BarWidth + 2; x < ScreenWidth - BarWidth - 2; x += 9) colours.insert(at(x, y));
  }
  // Text adds onto the backdrop: a stroke is at least as bright as the stroke alone,
  // within the window's linear scaling (the brightest of the 3 x 3 pixels around it).
  int strokesShown = 0;
  for (auto [x, y] : strokes) {
    const int sx = BarWidth + x * 5 / 4, sy = y * 5 / 4;
    int brightest = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) brightest = std::max(brightest, darkestChannel(at(sx + dx, sy + dy)));
    strokesShown += brightest >= StrokeLevel - ScalingSlack;
  }
  const std::uint32_t corner = at(BarWidth + 4, 4);
  SDL_FreeSurface(picture);
  std::filesystem::remove(shot);
  EXPECT_EQ(barFaults, 0);
  EXPECT_GT(colours.size(), 50u) << "the backdrop's texture, not one colour";
  EXPECT_GE(strokesShown * 10, static_cast<int>(strokes.size()) * 9) << "the title over the backdrop";
  EXPECT_NE(corner, 0xFFFFFFu) << "not only the white start-up frame";
}

} // namespace
