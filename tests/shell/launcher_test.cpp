// The launcher's options and its display check.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "platform/launcher/captureprogress.h"
#include "platform/launcher/capturerun.h"
#include "platform/launcher/display.h"
#include "platform/launcher/options.h"

namespace {

launcher::ParsedOptions parse(std::vector<const char*> args) {
  args.insert(args.begin(), "nyra");
  return launcher::parseLaunchOptions(static_cast<int>(args.size()), args.data());
}

TEST(LaunchOptions, NoOptionsMeansFullScreenWithNothingScripted) {
  launcher::ParsedOptions p = parse({});
  ASSERT_TRUE(p.ok);
  EXPECT_FALSE(p.options.windowed);
  EXPECT_FALSE(p.options.help);
  EXPECT_EQ(p.options.escapeAfterFrames, 0);
  EXPECT_TRUE(p.options.screenshotPath.empty());
}

TEST(LaunchOptions, EveryOptionIsRead) {
  launcher::ParsedOptions p =
      parse({"--windowed", "--escape-after", "60", "--screenshot", "out.bmp", "--help"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_TRUE(p.options.windowed);
  EXPECT_TRUE(p.options.help);
  EXPECT_EQ(p.options.escapeAfterFrames, 60);
  EXPECT_EQ(p.options.screenshotPath, "out.bmp");
}

TEST(LaunchOptions, BadInputIsRefusedWithAReason) {
  for (std::vector<const char*> bad : std::vector<std::vector<const char*>>{
           {"--fullscreen"},
           {"windowed"},
           {"--escape-after"},
           {"--escape-after", "0"},
           {"--escape-after", "-3"},
           {"--escape-after", "12x"},
           {"--escape-after", "99999999999"},
           {"--screenshot"},
           {"--screenshot", ""}}) {
    launcher::ParsedOptions p = parse(bad);
    EXPECT_FALSE(p.ok) << bad[0];
    EXPECT_FALSE(p.error.empty());
  }
}

TEST(CaptureOptions, TheOutputsNameSaysWhatIsRecorded) {
  launcher::ParsedOptions p = parse({"--capture", "show.mp4"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.captureKind, launcher::CaptureKind::Mp4);
  EXPECT_EQ(p.options.capturePath, "show.mp4");
  EXPECT_EQ(p.options.captureFramesPerSecond, 60);
  EXPECT_EQ(p.options.captureSeconds, 0.0) << "the whole show";
  EXPECT_EQ(p.options.captureWidth, 640);
  EXPECT_EQ(p.options.captureHeight, 480);
  EXPECT_EQ(launcher::captureKindFor("a/Show.MKV"), launcher::CaptureKind::Mkv);
  EXPECT_EQ(launcher::captureKindFor("frames/"), launcher::CaptureKind::Frames);
  EXPECT_EQ(launcher::captureKindFor("/tmp"), launcher::CaptureKind::Frames) << "an existing directory";
  EXPECT_EQ(launcher::captureKindFor("show.avi"), launcher::CaptureKind::None);
  EXPECT_EQ(launcher::captureKindFor("nyra-no-such-dir"), launcher::CaptureKind::None);
}

TEST(CaptureOptions, RateLengthAndSizeAreRead) {
  launcher::ParsedOptions p =
      parse({"--fps", "240", "--seconds", "2.5", "--size", "1920x1080", "--capture", "out/"});
  ASSERT_TRUE(p.ok) << p.error;
  EXPECT_EQ(p.options.captureKind, launcher::CaptureKind::Frames);
  EXPECT_EQ(p.options.captureFramesPerSecond, 240);
  EXPECT_EQ(p.options.captureSeconds, 2.5);
  EXPECT_EQ(p.options.captureWidth, 1920);
  EXPECT_EQ(p.options.captureHeight, 1080);
  EXPECT_TRUE(parse({"--capture", "x.mkv", "--fps", "1", "--size", "641x481"}).ok) << "odd sizes are fine in .mkv";
}

TEST(CaptureOptions, FramesForALengthAreThoseThatStartBeforeIt) {
  EXPECT_EQ(launcher::framesFor(3.0, 10), 30);
  EXPECT_EQ(launcher::framesFor(0.1, 30), 3) << "0.1 x 30 is not exactly 3 in binary";
  EXPECT_EQ(launcher::framesFor(2.5, 60), 150);
  EXPECT_EQ(launcher::framesFor(0.01, 60), 1);
  EXPECT_EQ(launcher::framesFor(1.0 / 3.0, 7), 3);
}

TEST(CaptureOptions, BadInputIsRefusedWithAReason) {
  struct Case {
    std::vector<const char*> args;
    const char* says;
  };
  for (const Case& c : std::vector<Case>{
           {{"--capture"}, "--capture needs an output"},
           {{"--capture", ""}, "--capture needs an output"},
           {{"--capture", "show.avi"}, ".mp4 or .mkv, or a directory"},
           {{"--capture", "x.mp4", "--fps"}, "--fps needs"},
           {{"--capture", "x.mp4", "--fps", "0"}, "1 to 240"},
           {{"--capture", "x.mp4", "--fps", "241"}, "1 to 240"},
           {{"--capture", "x.mp4", "--fps", "30.5"}, "1 to 240"},
           {{"--capture", "x.mp4", "--fps", "sixty"}, "1 to 240"},
           {{"--capture", "x.mp4", "--seconds", "0"}, "--seconds needs"},
           {{"--capture", "x.mp4", "--seconds", "-1"}, "--seconds needs"},
           {{"--capture", "x.mp4", "--seconds", "nan"}, "--seconds needs"},
           {{"--capture", "x.mp4", "--seconds", "inf"}, "--seconds needs"},
           {{"--capture", "x.mp4", "--seconds", "5s"}, "--seconds needs"},
           {{"--capture", "x.mp4", "--size", "1920"}, "WIDTHxHEIGHT"},
           {{"--capture", "x.mp4", "--size", "1920x"}, "WIDTHxHEIGHT"},
           {{"--capture", "x.mp4", "--size", "x1080"}, "WIDTHxHEIGHT"},
           {{"--capture", "x.mp4", "--size", "320x240"}, "from 640x480"},
           {{"--capture", "x.mp4", "--size", "99999x1080"}, "to 7680x4320"},
           {{"--capture", "x.mp4", "--size", "1920x1080x3"}, "WIDTHxHEIGHT"},
           {{"--capture", "x.mp4", "--size", "641x480"}, "even width and height"},
           {{"--fps", "30"}, "need --capture"},
           {{"--seconds", "3"}, "need --capture"},
           {{"--capture", "x.mp4", "--windowed"}, "without a window"},
           {{"--capture", "x.mp4", "--escape-after", "5"}, "without a window"},
           {{"--capture", "x.mp4", "--screenshot", "a.bmp"}, "without a window"}}) {
    launcher::ParsedOptions p = parse(c.args);
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    EXPECT_FALSE(p.ok) << line;
    EXPECT_NE(p.error.find(c.says), std::string::npos) << line << ": " << p.error;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line: " << p.error;
  }
}

// What a progress report printed, fed frames at 60 fps recorded at twice real time.
std::string progressOutput(bool terminal, int frames) {
  std::FILE* out = std::tmpfile();
  launcher::CaptureProgress progress(out, terminal, 150.0, 60);
  const auto start = launcher::CaptureProgress::Clock::now();
  for (int n = 1; n <= frames; ++n)
    progress.frameRecorded(n, start + std::chrono::microseconds(std::int64_t{n} * 1000000 / 120));
  progress.finish();
  std::string text(static_cast<std::size_t>(std::ftell(out)), '\0');
  std::rewind(out);
  text.resize(std::fread(text.data(), 1, text.size(), out));
  std::fclose(out);
  return text;
}

TEST(CaptureProgress, SaysHowFarHowFastAndHowLongIsLeft) {
  const launcher::CaptureProgress progress(nullptr, false, 150.0, 60);
  EXPECT_EQ(progress.line(1800, 15.0), "recording: 30.0 s of 150.0 s, 1800 frames, 2.0x real time, about 1 min 00 s left");
  EXPECT_EQ(progress.line(8940, 74.5), "recording: 149.0 s of 150.0 s, 8940 frames, 2.0x real time, about 0 s left");
}

TEST(CaptureProgress, OneLineRewrittenOnATerminalAndPlainLinesEveryFewSecondsOtherwise) {
  // 60 s of show in 30 s of real time.
  const std::string log = progressOutput(false, 3600);
  EXPECT_EQ(log.find('\r'), std::string::npos);
  const auto lines = std::count(log.begin(), log.end(), '\n');
  EXPECT_GE(lines, 5);
  EXPECT_LE(lines, 6) << log;
  const std::string shown = progressOutput(true, 3600);
  const auto rewrites = std::count(shown.begin(), shown.end(), '\r');
  EXPECT_GE(rewrites, 100) << "a few times a second";
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << "one line, ended when the recording ends";
  EXPECT_NE(shown.find("60.0 s of 150.0 s"), std::string::npos);
}

TEST(DisplayCheck, AnX11OrWaylandDisplayIsEnough) {
  EXPECT_EQ(launcher::missingDisplay(":0", nullptr, nullptr), "");
  EXPECT_EQ(launcher::missingDisplay(nullptr, "wayland-0", nullptr), "");
  EXPECT_EQ(launcher::missingDisplay(":1", "", "x11"), "");
}

TEST(DisplayCheck, NoDisplayOrAnOffscreenDriverIsReported) {
  EXPECT_NE(launcher::missingDisplay(nullptr, nullptr, nullptr).find("DISPLAY"),
            std::string::npos);
  EXPECT_NE(launcher::missingDisplay("", "", nullptr), "");
  EXPECT_NE(launcher::missingDisplay(":0", nullptr, "dummy").find("dummy"), std::string::npos);
  EXPECT_NE(launcher::missingDisplay(":0", nullptr, "OFFSCREEN"), "");
  EXPECT_TRUE(launcher::isOffscreenDriver("offscreen"));
  EXPECT_FALSE(launcher::isOffscreenDriver("x11"));
  EXPECT_FALSE(launcher::isOffscreenDriver(nullptr));
}

} // namespace
