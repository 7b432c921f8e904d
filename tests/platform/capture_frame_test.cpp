// A recorded frame: the picture scaled by a whole factor, nearest neighbour, centred on
// black; and the capture's sound device, which plays exactly what the clock says.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/port/captureaudio.h"
#include "platform/port/captureframe.h"
#include "platform/port/virtualclock.h"

namespace {

using port::FrameComposer;
using port::FramePlacement;
using port::FrameView;
using port::placeFrame;

TEST(FramePlacement, TheLargestWholeFactorThatFitsIsCentred) {
  const FramePlacement same = placeFrame(640, 480, 640, 480);
  EXPECT_EQ(same.scale, 1);
  EXPECT_EQ(same.x, 0);
  EXPECT_EQ(same.y, 0);
  const FramePlacement hd = placeFrame(1920, 1080, 640, 480); // 3x would be 1440 high
  EXPECT_EQ(hd.scale, 2);
  EXPECT_EQ(hd.x, (1920 - 1280) / 2);
  EXPECT_EQ(hd.y, (1080 - 960) / 2);
  const FramePlacement wide = placeFrame(1280, 720, 640, 480);
  EXPECT_EQ(wide.scale, 1);
  EXPECT_EQ(wide.x, 320);
  EXPECT_EQ(wide.y, 120);
  const FramePlacement fallback = placeFrame(640, 480, 320, 200); // the software fallback's size
  EXPECT_EQ(fallback.scale, 2);
  EXPECT_EQ(fallback.x, 0);
  EXPECT_EQ(fallback.y, 40);
  const FramePlacement fourK = placeFrame(3840, 2160, 640, 480);
  EXPECT_EQ(fourK.scale, 4);
  EXPECT_EQ(fourK.y, (2160 - 1920) / 2);
}

// A picture whose every pixel names its own position.
std::vector<std::uint32_t> numbered(int width, int height) {
  std::vector<std::uint32_t> p(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p[static_cast<std::size_t>(y) * width + x] = 0x01000000u | (y << 12) | x;
  return p;
}

TEST(FrameComposer, EachRecordedPixelIsItsNearestPicturePixelAndTheRestIsBlack) {
  const int w = 64, h = 48, pitch = 80; // a pitch wider than the picture, as a device may have
  std::vector<std::uint32_t> padded(static_cast<std::size_t>(pitch) * h, 0xDEADBEEF);
  const std::vector<std::uint32_t> picture = numbered(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) padded[static_cast<std::size_t>(y) * pitch + x] = picture[y * w + x];
  FrameComposer composer(200, 150); // scale 3 (192 x 144) at (4, 3)
  const std::uint32_t* frame = composer.compose(FrameView{padded.data(), w, h, pitch});
  int wrong = 0;
  for (int y = 0; y < 150; ++y) {
    for (int x = 0; x < 200; ++x) {
      const bool inside = x >= 4 && x < 196 && y >= 3 && y < 147;
      const std::uint32_t expected = inside ? picture[((y - 3) / 3) * w + (x - 4) / 3] : 0u;
      wrong += frame[y * 200 + x] != expected;
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST(FrameComposer, APictureOfAnotherSizeStartsFromBlackAgain) {
  FrameComposer composer(640, 480);
  std::vector<std::uint32_t> full(640 * 480, 0x00FFFFFF);
  composer.compose(FrameView{full.data(), 640, 480, 640});
  std::vector<std::uint32_t> small(320 * 200, 0x00112233);
  const std::uint32_t* frame = composer.compose(FrameView{small.data(), 320, 200, 320});
  EXPECT_EQ(frame[0], 0u);                   // the border above the 640 x 400 picture
  EXPECT_EQ(frame[39 * 640 + 10], 0u);
  EXPECT_EQ(frame[40 * 640 + 10], 0x00112233u);
  EXPECT_EQ(frame[479 * 640 + 639], 0u);
}

// The capture's sound device over the virtual clock.
class CaptureAudio : public ::testing::Test {
protected:
  static constexpr std::uint32_t Rate = 44100;
  port::VirtualClock clock{60};
  port::CaptureAudioBackend backend{clock};
  port::AudioFormat stereo{Rate, 2, 16};
  std::vector<std::int16_t> ring = std::vector<std::int16_t>(2 * 1000); // 1000 frames
  void SetUp() override {
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = static_cast<std::int16_t>(i);
  }
  const std::uint8_t* ringBytes() const { return reinterpret_cast<const std::uint8_t*>(ring.data()); }
};

TEST_F(CaptureAudio, ThePlayPositionIsTheClocksTimeInWholeAudioFrames) {
  auto device = backend.open(stereo);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(backend.open(stereo), nullptr) << "one device at a time";
  EXPECT_FALSE(backend.started());
  EXPECT_EQ(device->bytesPlayed(), 0u);
  clock.advanceFrame(); // the ring starts 735 audio frames into the clock
  device->playLoop(ringBytes(), static_cast<std::uint32_t>(ring.size() * 2));
  EXPECT_TRUE(backend.started());
  EXPECT_EQ(device->bytesPlayed(), 0u);
  for (int n = 2; n <= 10; ++n) {
    clock.advanceFrame();
    EXPECT_EQ(device->bytesPlayed(), (std::uint64_t{Rate} * n / 60 - 735) * 4) << "frame " << n;
  }
  device->stop();
  EXPECT_EQ(device->bytesPlayed(), 0u);
}

TEST_F(CaptureAudio, WhatWasPlayedIsTheRingOverAndOverAndSilenceOutsideIt) {
  auto device = backend.open(stereo);
  ASSERT_NE(device, nullptr);
  std::vector<std::int16_t> out;
  clock.advanceFrame(); // audio frame 735
  device->playLoop(ringBytes(), static_cast<std::uint32_t>(ring.size() * 2));
  backend.takePlayed(730, 2500, out); // 5 silent frames, then the ring two and a half times
  ASSERT_EQ(out.size(), 5000u);
  int wrong = 0;
  for (std::size_t k = 0; k < 2500; ++k) {
    for (std::size_t v = 0; v < 2; ++v) {
      const std::int16_t expected = k < 5 ? 0 : ring[((k - 5) % 1000) * 2 + v];
      wrong += out[k * 2 + v] != expected;
    }
  }
  EXPECT_EQ(wrong, 0);
  device.reset(); // closed: silence again
  out.clear();
  backend.takePlayed(4000, 3, out);
  EXPECT_EQ(out, std::vector<std::int16_t>(6, 0));
}

TEST_F(CaptureAudio, OnlySixteenBitPcmIsOpened) {
  EXPECT_EQ(backend.open(port::AudioFormat{Rate, 2, 8}), nullptr);
  EXPECT_EQ(backend.open(port::AudioFormat{Rate, 0, 16}), nullptr);
  EXPECT_EQ(backend.open(port::AudioFormat{0, 2, 16}), nullptr);
  EXPECT_NE(backend.open(port::AudioFormat{22050, 1, 16}), nullptr);
}

} // namespace
