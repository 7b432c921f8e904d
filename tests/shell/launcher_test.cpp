// The launcher's options and its display check.
#include <gtest/gtest.h>

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
