// The window backend: the picture scaled into the window with its aspect ratio kept.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/port/window.h"
#include "platform/port/windowstate.h"
#include "platform/win32.h"

namespace {

TEST(Letterbox, WideScreenGetsBarsLeftAndRight) {
  port::ScreenRect r = port::letterboxRect(1920, 1080, 640, 480);
  EXPECT_EQ(r.x, 240);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 1440);
  EXPECT_EQ(r.height, 1080);
}

TEST(Letterbox, TallScreenGetsBarsAboveAndBelow) {
  port::ScreenRect r = port::letterboxRect(1280, 1024, 640, 480);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 32);
  EXPECT_EQ(r.width, 1280);
  EXPECT_EQ(r.height, 960);
  port::ScreenRect soft = port::letterboxRect(640, 480, 320, 200);
  EXPECT_EQ(soft.y, 40);
  EXPECT_EQ(soft.width, 640);
  EXPECT_EQ(soft.height, 400);
}

TEST(Letterbox, SameShapeFillsTheWindowAndOddSizesStayInside) {
  port::ScreenRect r = port::letterboxRect(640, 480, 640, 480);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  for (int w = 1; w < 50; w += 7)
    for (int h = 1; h < 50; h += 5) {
      port::ScreenRect o = port::letterboxRect(w, h, 640, 480);
      EXPECT_GE(o.x, 0);
      EXPECT_GE(o.y, 0);
      EXPECT_LE(o.x + o.width, w);
      EXPECT_LE(o.y + o.height, h);
      EXPECT_TRUE(o.width == w || o.height == h) << w << "x" << h;
    }
}

LRESULT CALLBACK plainProcedure(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, m, wp, lp);
}

class WindowSinkTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1"); // a runner's timeout must end the process
    port::resetWindowing();
    port::WindowOptions o;
    o.fullScreen = false;
    o.vsync = false;
    port::setWindowOptions(o);
    WNDCLASSA c{};
    c.lpfnWndProc = plainProcedure;
    c.lpszClassName = "sink test";
    ASSERT_NE(RegisterClassA(&c), 0);
  }
  void TearDown() override { port::resetWindowing(); }

  HWND open(int width, int height) {
    return CreateWindowExA(0, "sink test", "sink", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                           nullptr, nullptr, nullptr, nullptr);
  }
};

constexpr std::uint32_t Colour = 0x00336699;

TEST_F(WindowSinkTest, FrameIsShownCentredBetweenBlackBars) {
  ASSERT_NE(open(800, 480), nullptr);
  std::vector<std::uint32_t> pixels(640 * 480, Colour | 0xFF000000u); // X byte is ignored
  port::WindowSink sink;
  sink.keepShownPicture(true);
  ASSERT_TRUE(sink.present({pixels.data(), 640, 480, 640}));
  ASSERT_EQ(sink.shownWidth(), 800);
  ASSERT_EQ(sink.shownHeight(), 480);
  auto at = [&](int x, int y) { return sink.shownPicture()[y * 800 + x] & 0xFFFFFFu; };
  EXPECT_EQ(at(0, 240), 0u);
  EXPECT_EQ(at(79, 0), 0u);
  EXPECT_EQ(at(720, 479), 0u);
  EXPECT_EQ(at(799, 240), 0u);
  EXPECT_EQ(at(81, 1), Colour);
  EXPECT_EQ(at(400, 240), Colour);
  EXPECT_EQ(at(718, 478), Colour);
}

TEST_F(WindowSinkTest, PictureSizeChangesAreFollowed) {
  ASSERT_NE(open(640, 480), nullptr);
  port::WindowSink sink;
  sink.keepShownPicture(true);
  std::vector<std::uint32_t> big(640 * 480, 0x00FFFFFFu);
  ASSERT_TRUE(sink.present({big.data(), 640, 480, 640}));
  // The software size with a wider pitch: only the first 320 of each row count.
  std::vector<std::uint32_t> small(400 * 200, 0x00FF0000u);
  for (int y = 0; y < 200; ++y)
    for (int x = 320; x < 400; ++x) small[y * 400 + x] = 0x0000FF00u;
  ASSERT_TRUE(sink.present({small.data(), 320, 200, 400}));
  auto at = [&](int x, int y) { return sink.shownPicture()[y * 640 + x] & 0xFFFFFFu; };
  EXPECT_EQ(at(320, 20), 0u) << "bar above the 16:10 picture";
  EXPECT_EQ(at(320, 460), 0u) << "bar below";
  EXPECT_EQ(at(2, 240), 0x00FF0000u);
  EXPECT_EQ(at(637, 240), 0x00FF0000u) << "the pitch padding is not shown";
}

TEST_F(WindowSinkTest, PresentFailsWithoutAWindow) {
  std::vector<std::uint32_t> pixels(16 * 16);
  port::WindowSink sink;
  EXPECT_FALSE(sink.present({pixels.data(), 16, 16, 16}));
  HWND w = open(64, 64);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(sink.present({pixels.data(), 16, 16, 16}));
  DestroyWindow(w);
  EXPECT_FALSE(sink.present({pixels.data(), 16, 16, 16}));
}

} // namespace
