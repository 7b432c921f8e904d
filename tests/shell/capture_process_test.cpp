// nyra --capture as a user runs it, with no display: the first seconds of the real show
// as PNG frames and audio.wav (exact, repeatable, the song's offline render), a short
// H.264 video, and every fault a clear line, a failing status and nothing left that
// looks finished.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/port/captureimages.h"
#include "platform/port/captureffmpeg.h"
#include "platform/port/pngfile.h"
#include "tests/shell/nyrarun.h"
#include "tests/shell/titlestrokes.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;

// nyra with no display and no sound device (capture needs neither), with `environment`
// ("NAME=value ...") added. The time limit runs in the foreground: otherwise an interrupt
// sent to it reaches nyra twice (once passed on, once through the process group), and a
// second interrupt rightly ends the process at once.
std::string capture(const std::string& environment = "") {
  return "env -u DISPLAY -u WAYLAND_DISPLAY SDL_AUDIODRIVER=disk " + environment +
         " /usr/bin/timeout --foreground -s KILL 600 " + nyraBinary();
}
const std::string Capture = capture();

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class CaptureProcess : public ::testing::Test {
protected:

  // A stand-in for ffmpeg, alone on a PATH of its own (with what a shell script needs).
  std::string ffmpegPath(const std::string& body) {
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "ffmpeg") << "#!/bin/sh\n" << body << "\n";
    fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    return "PATH=" + bin.string() + ":/usr/bin:/bin";
  }

  // The fault's report: one line from nyra naming `cause`, after its opening line.
  static void expectOneLineFault(const Outcome& o, const std::string& cause) {
    EXPECT_NE(o.exitCode, 0) << o.output;
    const std::size_t at = o.output.find("nyra: ");
    ASSERT_NE(at, std::string::npos) << o.output;
    const std::size_t line = o.output.rfind("\nnyra: ");
    const std::string last = o.output.substr(line == std::string::npos ? at : line + 1);
    EXPECT_NE(last.find(cause), std::string::npos) << o.output;
    EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 1) << "one line: " << last;
  }

  void expectNoVideo(const fs::path& video) {
    EXPECT_FALSE(fs::exists(video));
    EXPECT_FALSE(fs::exists(video.parent_path() / (video.stem().string() + ".partial" + video.extension().string())));
  }

  TestDirectory scratch{"nyra-capture"};
  const fs::path& dir = scratch.path();
};

constexpr int Seconds = 3;
constexpr int FramesPerSecond = 10;
constexpr int Frames = Seconds * FramesPerSecond;

TEST_F(CaptureProcess, TheFirstSecondsAreExactRepeatableFramesWithTheSongsOfflineRender) {
  const fs::path first = dir / "first", second = dir / "second";
  for (const fs::path& out : {first, second}) {
    const Outcome o = run("cd " + dir.string() + " && " + Capture + " --capture " + out.string() + "/ --seconds " + std::to_string(Seconds) +
                          " --fps " + std::to_string(FramesPerSecond));
    ASSERT_EQ(o.exitCode, 0) << o.output;
    EXPECT_NE(o.output.find("recorded 3.0 s of the show (30 frames at 10 fps)"), std::string::npos) << o.output;
  }
  EXPECT_FALSE(fs::exists(dir / "sdlaudio.raw")) << "no sound device was opened";
  // Exactly the frames asked for, and the sound of exactly their time.
  for (int n = 0; n < Frames; ++n)
    ASSERT_TRUE(fs::exists(first / port::ImageSequenceEncoder::frameName(n))) << n;
  EXPECT_FALSE(fs::exists(first / port::ImageSequenceEncoder::frameName(Frames)));
  const std::vector<std::uint8_t> sound = readBytes(first / "audio.wav");
  EXPECT_EQ(sound.size(), 44u + Seconds * 44100u * 4u);
  // Two runs give the same bytes.
  for (const fs::directory_entry& e : fs::directory_iterator(first))
    EXPECT_TRUE(readBytes(e.path()) == readBytes(second / e.path().filename())) << e.path().filename();
  EXPECT_EQ(std::distance(fs::directory_iterator(first), fs::directory_iterator{}), Frames + 1);
  // The sound is the song rendered offline over the same length.
  const fs::path offline = dir / "offline.wav";
  const Outcome render = run(binaryDir() + "xm2wav " + std::string(NYRA_SOURCE_DIR) + "/data/song.xm " +
                             offline.string() + " --seconds " + std::to_string(Seconds));
  ASSERT_EQ(render.exitCode, 0) << render.output;
  EXPECT_TRUE(readBytes(offline) == sound) << "audio.wav differs from xm2wav's render";

  // The pictures: the title over the moving backdrop, every frame different.
  std::vector<port::PngPixels> frames(Frames);
  for (int n = 0; n < Frames; ++n)
    ASSERT_EQ(port::readPngFile((first / port::ImageSequenceEncoder::frameName(n)).string(), frames[n]), "") << n;
  for (int n = 1; n < Frames; ++n) EXPECT_NE(frames[n].pixels, frames[n - 1].pixels) << "frame " << n << " moved on";
  std::set<std::uint32_t> colours(frames[20].pixels.begin(), frames[20].pixels.end());
  EXPECT_GT(colours.size(), 1000u) << "not a blank frame";
  const std::vector<std::pair<int, int>> strokes = titleStrokes();
  ASSERT_GT(strokes.size(), 100u);
  for (int n : {0, 5, 10}) { // the title is added onto the backdrop: at least as bright
    int shown = 0;
    for (auto [x, y] : strokes) shown += darkestChannel(frames[n].pixels[y * 640 + x]) >= StrokeLevel;
    EXPECT_GE(shown * 10, static_cast<int>(strokes.size()) * 9) << "the title in frame " << n;
  }
}

TEST_F(CaptureProcess, ANumberOrOptionItCannotUseIsRefusedBeforeAnything) {
  for (const char* bad : {"--capture show.avi", "--capture x.mp4 --fps 0", "--capture x.mp4 --fps 300",
                          "--capture x.mp4 --seconds -2", "--capture x.mp4 --size 100x100",
                          "--capture x.mp4 --size 1921x1080", "--capture x.mp4 --bogus"}) {
    const Outcome o = run("cd " + dir.string() + " && " + Capture + " " + bad);
    EXPECT_EQ(o.exitCode, 2) << bad << "\n" << o.output;
    EXPECT_EQ(o.output.rfind("nyra: ", 0), 0u) << bad << ": the cause comes first\n" << o.output;
  }
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(CaptureProcess, AMissingFfmpegIsNamedAndNothingIsMade) {
  fs::create_directories(dir / "empty");
  const fs::path video = dir / "show.mp4";
  const Outcome o = run(capture("PATH=" + (dir / "empty").string()) + " --capture " + video.string());
  expectOneLineFault(o, "ffmpeg is not installed");
  expectNoVideo(video);
}

TEST_F(CaptureProcess, AnOutputThatCannotBeCreatedIsNamed) {
  std::ofstream(dir / "file") << "in the way";
  Outcome o = run(Capture + " --capture " + (dir / "missing" / "show.mkv").string());
  expectOneLineFault(o, "cannot create");
  o = run(Capture + " --capture " + (dir / "file" / "frames").string() + "/");
  expectOneLineFault(o, "cannot create the directory");
}

TEST_F(CaptureProcess, AnFfmpegThatDiesMidWayFailsTheRecordingAndRemovesThePartialVideo) {
  const fs::path video = dir / "show.mp4";
  // Takes some frames, says why it stops, and exits as a crashing encoder would.
  const std::string path = ffmpegPath("head -c 20000000 <&3 >/dev/null; "
                                          "echo 'Conversion failed! (standing in)' >&2; exit 3");
  const Outcome o = run(capture(path) + " --capture " + video.string());
  expectOneLineFault(o, "Conversion failed! (standing in)");
  EXPECT_NE(o.output.find("exit status 3"), std::string::npos) << o.output;
  expectNoVideo(video);
}

TEST_F(CaptureProcess, AFullDiskMidWayFailsTheRecordingAndRemovesWhatItWrote) {
  // The file size limit stands in for the disk filling up (ffmpeg runs under it too).
  const fs::path frames = dir / "frames";
  Outcome o = run("ulimit -f 2000; " + Capture + " --capture " + frames.string() + "/ --fps 30");
  expectOneLineFault(o, "File too large");
  EXPECT_FALSE(fs::exists(frames));
  if (!port::programAvailable("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed (apt-get install ffmpeg)";
  const fs::path video = dir / "show.mkv";
  o = run("ulimit -f 2000; " + Capture + " --capture " + video.string());
  expectOneLineFault(o, "File too large");
  expectNoVideo(video);
}

TEST_F(CaptureProcess, AnInterruptEndsTheRecordingCleanly) {
  const fs::path frames = dir / "frames";
  // Ctrl-C once some frames are written.
  const Outcome o = run("(" + Capture + " --capture " + frames.string() + "/ & pid=$!; for i in $(seq 600); do "
                        "[ -e " + (frames / "frame000010.png").string() + " ] && break; sleep 0.1; done; "
                        "kill -INT $pid; wait $pid)");
  EXPECT_EQ(o.exitCode, 130) << o.output;
  EXPECT_NE(o.output.find("nyra: recording failed: interrupted"), std::string::npos) << o.output;
  EXPECT_FALSE(fs::exists(frames));
}

TEST_F(CaptureProcess, AShortVideoIsHighQualityH264WithAacSound) {
  if (!port::programAvailable("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed (apt-get install ffmpeg)";
  const fs::path video = dir / "show.mp4";
  const Outcome o = run(Capture + " --capture " + video.string() + " --seconds 1 --fps 30 --size 1280x960");
  ASSERT_EQ(o.exitCode, 0) << o.output;
  const Outcome probe = run("ffprobe -v error -show_entries stream=codec_name,pix_fmt,width,height,nb_frames "
                            "-of compact=p=0 " + video.string());
  EXPECT_NE(probe.output.find("codec_name=h264|width=1280|height=960|pix_fmt=yuv420p|nb_frames=30"),
            std::string::npos)
      << probe.output;
  EXPECT_NE(probe.output.find("codec_name=aac"), std::string::npos) << probe.output;
  EXPECT_FALSE(fs::exists(dir / "show.partial.mp4"));
}

} // namespace
