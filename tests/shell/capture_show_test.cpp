// The whole show recorded in-process through the capture backend, to an encoder of the
// test's own: the frames fall at their clock times (the title, then the first flash at
// full strength in frame 0 fading away), the show ends itself, and its sound is the
// song's offline render from the first frame to the last.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "direction/globals.h"
#include "direction/memoryfile.h"
#include "direction/timeline.h"
#include "platform/port/capture.h"
#include "platform/port/testhooks.h"
#include "player/modulefile.h"
#include "player/player.h"
#include "player/render.h"
#include "player/song.h"
#include "platform/port/window.h"
#include "shell/shell.h"
#include "tests/shell/shellrun.h"
#include "tests/support/showleftovers.h"
#include "tests/shell/titlestrokes.h"

namespace {

// Keeps the first frames it is given and a hash of all of them, and all the sound.
class MemoryEncoder final : public port::CaptureEncoder {
public:
  explicit MemoryEncoder(std::size_t framesKept) : framesKept_(framesKept) {}
  std::string begin(const port::CaptureFormat& given) override {
    format = given;
    ++begun;
    return {};
  }
  std::string addFrame(const std::uint32_t* pixels) override {
    const std::size_t count = static_cast<std::size_t>(format.width) * format.height;
    for (std::size_t i = 0; i < count; ++i) frameHash = (frameHash ^ pixels[i]) * 1099511628211u; // FNV-1a
    if (frames.size() < framesKept_) frames.emplace_back(pixels, pixels + count);
    ++frameCount;
    return {};
  }
  std::string addAudio(const std::int16_t* samples, std::uint64_t audioFrames) override {
    sound.insert(sound.end(), samples, samples + audioFrames * format.audioChannels);
    return {};
  }
  std::string finish() override {
    ++finished;
    return {};
  }
  void abandon() override { ++abandoned; }

  port::CaptureFormat format;
  std::vector<std::vector<std::uint32_t>> frames;
  std::int64_t frameCount = 0;
  std::uint64_t frameHash = 14695981039346656037u;
  std::vector<std::int16_t> sound;
  int begun = 0, finished = 0, abandoned = 0;

private:
  std::size_t framesKept_;
};

// What the show's direction said about one recorded frame.
struct FrameFacts {
  int state = 0;
  std::int32_t flashLevel = 0;
  DWORD flashDeadline = 0;
};

class CaptureShow : public ShellRun {
protected:
  // Records the show at `fps` (`frameLimit` 0: to its end), noting the facts of each frame.
  std::string record(MemoryEncoder& encoder, int fps, std::int64_t frameLimit) {
    port::CaptureSettings settings;
    settings.framesPerSecond = fps;
    settings.frameLimit = frameLimit;
    port::CaptureSession session(encoder, settings);
    session.sink().onFrame = [&](std::int64_t) { facts.push_back({timelineState, flashLevel, flashDeadline}); };
    if (std::string error = session.prepare(); !error.empty()) return error;
    session.install();
    runShow();
    return session.end();
  }

  // The song rendered offline for `frames` audio frames from its start.
  static std::vector<std::int16_t> offlineSong(std::size_t frames) {
    std::vector<std::int16_t> out(frames * 2);
    installFileCallbacks(memoryOpen, memoryClose, memoryRead, memorySeek, memoryTell);
    Song* song = createSong("", nullptr); // memoryOpen presents the embedded module
    OfflineRender render;
    if (!song || !render.start(song)) {
      if (song) freeSong(song);
      return {};
    }
    render.render(out.data(), static_cast<std::int64_t>(frames));
    render.finish();
    freeSong(song);
    return out;
  }

  std::vector<FrameFacts> facts;
};

// The mean of the darkest channel over the middle of a 640 x 480 frame, where the flash's
// glow is brightest.
double middleLevel(const std::vector<std::uint32_t>& frame) {
  double sum = 0;
  int count = 0;
  for (int y = 180; y < 300; ++y)
    for (int x = 240; x < 400; ++x, ++count) sum += darkestChannel(frame[y * 640 + x]);
  return sum / count;
}

TEST_F(CaptureShow, TheFirstFramesShowTheTitleAndTheFirstFlashFadingFromFrameZero) {
  constexpr int Fps = 10;
  // Before the show: it starts the show's content afresh, and would drop a run's own.
  const std::vector<std::pair<int, int>> strokes = titleStrokes();
  MemoryEncoder encoder(40);
  ASSERT_EQ(record(encoder, Fps, 40), "");
  ASSERT_EQ(encoder.frameCount, 40);
  ASSERT_EQ(facts.size(), 40u);
  EXPECT_EQ(encoder.begun, 1);
  EXPECT_EQ(encoder.finished, 1);
  EXPECT_EQ(encoder.format.width, 640);
  EXPECT_EQ(encoder.format.framesPerSecond, Fps);
  EXPECT_EQ(encoder.sound.size(), 40u * 4410u * 2u) << "a tenth of a second of sound per frame";
  // Frame n is drawn at n x 100 ms: the first sync point fires in frame 0, at full
  // strength, and its flash fades by 20 levels a frame until it is gone at 1300 ms or a
  // later sync point restarts it.
  EXPECT_EQ(facts[0].flashDeadline, 1300u);
  EXPECT_EQ(facts[0].flashLevel, 260);
  int lastFlashFrame = 0;
  for (int n = 1; n < 40; ++n) {
    const DWORD now = n * 1000 / Fps;
    if (facts[n].flashDeadline != facts[n - 1].flashDeadline) {
      EXPECT_EQ(facts[n].flashDeadline, now + 1300) << "a sync point fires in frame " << n;
    } else if (facts[n].flashDeadline > now) {
      EXPECT_EQ(facts[n].flashLevel, static_cast<std::int32_t>((facts[n].flashDeadline - now) / 5)) << n;
      EXPECT_LT(facts[n].flashLevel, facts[n - 1].flashLevel) << n;
    }
    if (facts[n].flashDeadline > now) lastFlashFrame = n;
  }
  const int goneFrame = lastFlashFrame + 1;
  ASSERT_LT(goneFrame, 40) << "the sync points of the first seconds all fired in the first frames";
  EXPECT_EQ(goneFrame, static_cast<int>((facts[lastFlashFrame].flashDeadline + 99) / 100));
  // The picture: the glow whitens the middle of frame 0; once it is gone the middle is
  // the backdrop's, far darker.
  const double flashed = middleLevel(encoder.frames[0]);
  EXPECT_GT(flashed, 200) << "frame 0 is nearly white in the middle";
  for (int n = goneFrame; n < 40; ++n) EXPECT_LT(middleLevel(encoder.frames[n]), flashed - 60) << "frame " << n;
  // A second recording of the same frames is the same, picture and sound.
  MemoryEncoder again(0);
  facts.clear();
  releaseShowLeftovers();
  port::resetWindowing();
  resetShell();
  resetDirectionGlobals();
  ASSERT_EQ(record(again, Fps, 40), "");
  EXPECT_EQ(again.frameHash, encoder.frameHash);
  EXPECT_TRUE(again.sound == encoder.sound);
  // The title is drawn over the backdrop in the first state.
  for (int n : {goneFrame, 39}) {
    ASSERT_EQ(facts[n].state, 0);
    int shown = 0;
    for (auto [x, y] : strokes) shown += darkestChannel(encoder.frames[n][y * 640 + x]) >= StrokeLevel;
    EXPECT_GE(shown * 10, static_cast<int>(strokes.size()) * 9) << "the title in frame " << n;
  }
}

TEST_F(CaptureShow, TheWholeShowEndsItselfAndItsSoundIsTheSongsOfflineRender) {
  constexpr int Fps = 10;
  MemoryEncoder encoder(0);
  ASSERT_EQ(record(encoder, Fps, 0), "");
  EXPECT_EQ(encoder.finished, 1);
  EXPECT_EQ(encoder.abandoned, 0);
  // The quit rule ends it 51 rows into the last order position, in the credits.
  ASSERT_GT(encoder.frameCount, 140 * Fps);
  EXPECT_LT(encoder.frameCount, 160 * Fps);
  ASSERT_EQ(facts.size(), static_cast<std::size_t>(encoder.frameCount));
  EXPECT_EQ(facts.back().state, 6);
  ASSERT_EQ(encoder.sound.size(), static_cast<std::size_t>(encoder.frameCount) * 4410u * 2u);
  const std::vector<std::int16_t> offline = offlineSong(encoder.sound.size() / 2);
  ASSERT_EQ(offline.size(), encoder.sound.size());
  std::size_t firstDifference = 0;
  while (firstDifference < offline.size() && offline[firstDifference] == encoder.sound[firstDifference])
    ++firstDifference;
  EXPECT_EQ(firstDifference, offline.size()) << "the recorded sound departs from the song at audio frame "
                                             << firstDifference / 2;
}

TEST_F(CaptureShow, AShowThatFailsToStartSaysSoOnStandardErrorAndNothingIsRecorded) {
  // The content's first texture upload fails: the show reports it and ends, no music.
  port::setFailure(port::FailPoint::CreateTexture, true);
  MemoryEncoder encoder(0);
  ::testing::internal::CaptureStderr();
  const std::string error = record(encoder, 60, 0);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(error.find("nothing was recorded"), std::string::npos) << error;
  EXPECT_EQ(encoder.begun, 0);
  EXPECT_EQ(encoder.abandoned, 1);
  const std::vector<std::string> shown = boxes();
  ASSERT_FALSE(shown.empty());
  for (const std::string& box : shown) {
    const std::string line = box.substr(0, box.find('|')) + ": " + box.substr(box.find('|') + 1);
    EXPECT_NE(said.find(line), std::string::npos) << line << " on standard error:\n" << said;
  }
}

} // namespace
