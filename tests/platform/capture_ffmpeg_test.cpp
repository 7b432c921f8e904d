// The ffmpeg encoder: the command it runs, a real ffmpeg's lossless video read back, and
// every way the process can fail (missing, dying at once, dying mid-way, a full disk),
// none of which may leave a file that looks finished.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <csignal>

#include "platform/port/captureffmpeg.h"
#include "platform/port/pipewriter.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;

class FfmpegEncoding : public ::testing::Test {
protected:

  // A stand-in for ffmpeg: a shell script.
  std::string script(const std::string& name, const std::string& body) {
    const fs::path path = dir / name;
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path.string();
  }

  // Hands `frames` frames of the small format to `encoder`, then finishes; the first
  // failure's reason, or empty.
  static std::string record(port::FfmpegEncoder& encoder, int frames, const port::CaptureFormat& f) {
    if (std::string e = encoder.prepare(); !e.empty()) return e;
    if (std::string e = encoder.begin(f); !e.empty()) return e;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(f.width) * f.height);
    const std::uint64_t soundFrames = f.audioRate / f.framesPerSecond;
    std::vector<std::int16_t> sound(soundFrames * f.audioChannels);
    for (int n = 0; n < frames; ++n) {
      for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint32_t>((i * 2654435761u) ^ n) & 0xFFFFFFu;
      for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<std::int16_t>((i * 37 + n * 11) % 20000 - 10000);
      if (std::string e = encoder.addFrame(pixels.data()); !e.empty()) {
        encoder.abandon();
        return e;
      }
      if (std::string e = encoder.addAudio(sound.data(), soundFrames); !e.empty()) {
        encoder.abandon();
        return e;
      }
    }
    return encoder.finish();
  }

  static port::CaptureFormat small() { return port::CaptureFormat{64, 48, 10, 44100, 2}; }

  // Nothing of the recording is left: neither the final nor the partial name.
  void expectNothingLeft(const fs::path& output, const port::FfmpegEncoder& encoder) {
    EXPECT_FALSE(fs::exists(output));
    EXPECT_FALSE(fs::exists(encoder.partialPath()));
  }

  TestDirectory scratch{"nyra-ffmpeg"};
  const fs::path& dir = scratch.path();
};

TEST_F(FfmpegEncoding, TheCommandAsksForTheRightCodecsFromTwoRawPipes) {
  const port::CaptureFormat f{1920, 1080, 60, 44100, 2};
  port::FfmpegEncoder mp4(dir / "show.mp4", port::VideoKind::Mp4);
  const std::vector<std::string> a = mp4.arguments(f);
  const std::string line = [&] {
    std::string l;
    for (const std::string& s : a) l += s + " ";
    return l;
  }();
  for (const char* wanted : {"-f rawvideo -pixel_format bgr0 -video_size 1920x1080 -framerate 60 ",
                             "-i pipe:3 ", "-f s16le -sample_rate 44100 -channels 2 ", "-i pipe:4 ",
                             "-c:v libx264 ", "-crf 16 ", "-pix_fmt yuv420p ", "-c:a aac ", "-f mp4 "})
    EXPECT_NE(line.find(wanted), std::string::npos) << wanted << " in " << line;
  EXPECT_EQ(a.back(), (dir / "show.partial.mp4").string());
  port::FfmpegEncoder mkv(dir / "show.mkv", port::VideoKind::Mkv);
  const std::vector<std::string> b = mkv.arguments(f);
  EXPECT_NE(std::find(b.begin(), b.end(), "ffv1"), b.end());
  EXPECT_NE(std::find(b.begin(), b.end(), "flac"), b.end());
  EXPECT_EQ(std::find(b.begin(), b.end(), "yuv420p"), b.end()) << "lossless keeps RGB";
  EXPECT_EQ(b.back(), (dir / "show.partial.mkv").string());
}

TEST_F(FfmpegEncoding, AMissingFfmpegIsNamedBeforeAnythingIsMade) {
  port::FfmpegEncoder encoder(dir / "show.mp4", port::VideoKind::Mp4, (dir / "no-such-ffmpeg").string());
  EXPECT_NE(encoder.prepare().find("is not installed"), std::string::npos);
  EXPECT_FALSE(port::programAvailable("nyra-no-such-program"));
  EXPECT_TRUE(port::programAvailable("sh"));
  expectNothingLeft(dir / "show.mp4", encoder);
}

TEST_F(FfmpegEncoding, AnOutputThatCannotBeCreatedIsRefusedBeforeTheShow) {
  port::FfmpegEncoder encoder(dir / "missing" / "show.mp4", port::VideoKind::Mp4, script("ffmpeg", "exit 0"));
  const std::string error = encoder.prepare();
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST_F(FfmpegEncoding, AnFfmpegThatFailsAtOnceIsReportedWithItsLastWords) {
  const fs::path out = dir / "show.mp4";
  port::FfmpegEncoder encoder(out, port::VideoKind::Mp4,
                              script("ffmpeg", "echo 'Unknown encoder libx264' >&2; exit 1"));
  const std::string error = record(encoder, 50, small());
  EXPECT_NE(error.find("ffmpeg"), std::string::npos) << error;
  EXPECT_NE(error.find("exit status 1"), std::string::npos) << error;
  EXPECT_NE(error.find("Unknown encoder libx264"), std::string::npos) << error;
  expectNothingLeft(out, encoder);
}

TEST_F(FfmpegEncoding, AnFfmpegThatDiesMidWayIsReported) {
  const fs::path out = dir / "show.mkv";
  // Takes 20 frames, then is killed as by the out-of-memory killer.
  port::FfmpegEncoder encoder(out, port::VideoKind::Mkv,
                              script("ffmpeg", "head -c " + std::to_string(20 * 64 * 48 * 4) +
                                                   " <&3 >/dev/null; cat <&4 3<&- >/dev/null & kill -9 $$"));
  const std::string error = record(encoder, 400, small());
  EXPECT_NE(error.find("killed by signal 9"), std::string::npos) << error;
  expectNothingLeft(out, encoder);
}

TEST_F(FfmpegEncoding, AnFfmpegThatEndsBadlyAfterTakingEverythingIsStillAFailure) {
  const fs::path out = dir / "show.mp4";
  port::FfmpegEncoder encoder(out, port::VideoKind::Mp4,
                              script("ffmpeg", "cat <&3 >/dev/null & cat <&4 >/dev/null; wait; "
                                               "echo 'Error writing trailer: No space left on device' >&2; exit 1"));
  const std::string error = record(encoder, 30, small());
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  expectNothingLeft(out, encoder);
}

TEST_F(FfmpegEncoding, AnAbandonedRecordingKillsFfmpegAndRemovesThePartialVideo) {
  const fs::path out = dir / "show.mp4";
  // Reads nothing: the frames back up until the recording gives up on it.
  port::FfmpegEncoder encoder(out, port::VideoKind::Mp4, script("ffmpeg", "exec sleep 600"));
  ASSERT_EQ(encoder.prepare(), "");
  EXPECT_TRUE(fs::exists(encoder.partialPath())) << "made at once, under a name that says it is partial";
  ASSERT_EQ(encoder.begin(small()), "");
  std::vector<std::uint32_t> pixels(64 * 48, 1);
  for (int n = 0; n < 4; ++n) ASSERT_EQ(encoder.addFrame(pixels.data()), "");
  encoder.abandon();
  expectNothingLeft(out, encoder);
}

bool haveFfmpeg() { return port::programAvailable("ffmpeg"); }

// Runs a command, returns its standard output.
std::vector<std::uint8_t> commandOutput(const std::string& command) {
  std::vector<std::uint8_t> out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  std::uint8_t buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.insert(out.end(), buffer, buffer + got);
  pclose(pipe);
  return out;
}

TEST_F(FfmpegEncoding, TheLosslessVideoDecodesToExactlyTheFramesAndSoundGiven) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (apt-get install ffmpeg)";
  const fs::path out = dir / "show.mkv";
  port::FfmpegEncoder encoder(out, port::VideoKind::Mkv);
  const port::CaptureFormat f = small();
  ASSERT_EQ(record(encoder, 25, f), "");
  ASSERT_TRUE(fs::exists(out));
  EXPECT_FALSE(fs::exists(encoder.partialPath()));
  const std::vector<std::uint8_t> video =
      commandOutput("ffmpeg -v error -i " + out.string() + " -map 0:v -f rawvideo -pix_fmt bgr0 -");
  const std::vector<std::uint8_t> sound =
      commandOutput("ffmpeg -v error -i " + out.string() + " -map 0:a -f s16le -");
  ASSERT_EQ(video.size(), 25u * 64 * 48 * 4);
  ASSERT_EQ(sound.size(), 25u * 4410 * 4);
  int wrongPixels = 0, wrongSamples = 0;
  for (int n = 0; n < 25; ++n) {
    for (std::size_t i = 0; i < 64 * 48; ++i) {
      const std::uint32_t expected = static_cast<std::uint32_t>((i * 2654435761u) ^ n) & 0xFFFFFFu;
      std::uint32_t got = 0;
      for (int k = 0; k < 3; ++k) got |= std::uint32_t{video[(n * 64 * 48 + i) * 4 + k]} << (8 * k);
      wrongPixels += got != expected;
    }
    for (std::size_t i = 0; i < 4410 * 2; ++i) {
      const auto expected = static_cast<std::int16_t>((i * 37 + n * 11) % 20000 - 10000);
      const auto got = static_cast<std::int16_t>(sound[(n * 4410 * 2 + i) * 2] | (sound[(n * 4410 * 2 + i) * 2 + 1] << 8));
      wrongSamples += got != expected;
    }
  }
  EXPECT_EQ(wrongPixels, 0);
  EXPECT_EQ(wrongSamples, 0);
}

TEST_F(FfmpegEncoding, ARealFfmpegOnAFullDiskFailsAndLeavesNothing) {
  if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed (apt-get install ffmpeg)";
  const fs::path out = dir / "show.mkv";
  port::FfmpegEncoder encoder(out, port::VideoKind::Mkv);
  std::string error;
  {
    const FileSizeLimit disk(200 * 1024); // ffmpeg runs under the same limit
    error = record(encoder, 100, port::CaptureFormat{320, 240, 30, 44100, 2});
  }
  EXPECT_NE(error.find("ffmpeg"), std::string::npos) << error;
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  expectNothingLeft(out, encoder);
}

TEST(PipeWriter, WritesEverythingInOrderAndReportsAReaderThatHasGone) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  port::PipeWriter writer;
  writer.start(ends[1], 1000); // bounded: hand-overs wait for the reader
  std::vector<std::uint8_t> got;
  std::thread reader([&] {
    std::uint8_t buffer[333];
    ssize_t n;
    while ((n = read(ends[0], buffer, sizeof buffer)) > 0) got.insert(got.end(), buffer, buffer + n);
  });
  std::vector<std::uint8_t> piece(700);
  for (int k = 0; k < 50; ++k) {
    for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<std::uint8_t>(k * 7 + i);
    ASSERT_EQ(writer.push(piece.data(), piece.size()), "");
  }
  EXPECT_EQ(writer.close(false), "");
  reader.join();
  close(ends[0]);
  ASSERT_EQ(got.size(), 50u * 700u);
  int wrong = 0;
  for (int k = 0; k < 50; ++k)
    for (std::size_t i = 0; i < 700; ++i) wrong += got[k * 700 + i] != static_cast<std::uint8_t>(k * 7 + i);
  EXPECT_EQ(wrong, 0);

  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]); // no reader
  signal(SIGPIPE, SIG_IGN);
  port::PipeWriter orphan;
  orphan.start(ends[1], 0);
  std::string error;
  for (int k = 0; k < 100 && error.empty(); ++k) {
    error = orphan.push(piece.data(), piece.size());
    if (error.empty()) error = orphan.error();
    if (error.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_NE(error.find("Broken pipe"), std::string::npos) << error;
  EXPECT_NE(orphan.close(false), "");
}

} // namespace
