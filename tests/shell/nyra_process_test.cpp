// The nyra executable as a user runs it: options, no display, and a real X window
// under Xvfb that closes on a synthetic Escape and shows the stand-in's picture.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

const std::string Nyra = std::string(NYRA_BINARY_DIR) + "/bin/nyra";

struct Outcome {
  int exitCode = -1;
  std::string output; // standard output and error together
};

Outcome run(const std::string& command) {
  Outcome o;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return o;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) o.output += buffer;
  int status = pclose(pipe);
  if (WIFEXITED(status)) o.exitCode = WEXITSTATUS(status);
  return o;
}

bool haveXvfb() { return run("command -v xvfb-run").exitCode == 0; }

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
  const std::uint32_t centre = at(ScreenWidth / 2, ScreenHeight / 2);
  int barFaults = 0, pictureFaults = 0;
  for (int y = 0; y < ScreenHeight; y += 7) {
    for (int x = 0; x < BarWidth - 2; x += 5) {
      if (at(x, y) != 0) ++barFaults;
      if (at(ScreenWidth - 1 - x, y) != 0) ++barFaults;
    }
    for (int x = BarWidth + 2; x < ScreenWidth - BarWidth - 2; x += 9)
      if (at(x, y) != centre) ++pictureFaults;
  }
  SDL_FreeSurface(picture);
  std::filesystem::remove(shot);
  EXPECT_EQ(barFaults, 0);
  EXPECT_EQ(pictureFaults, 0) << "the stand-in clears the whole frame to one colour";
  EXPECT_NE(centre, 0u) << "a frame was shown";
  EXPECT_NE(centre, 0xFFFFFFu) << "not only the white start-up frame";
}

} // namespace
