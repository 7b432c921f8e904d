// The capture's files: WAV sound, PNG pictures through libpng, and a recording as a
// directory of numbered frames with audio.wav, including what a failure leaves behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/port/captureimages.h"
#include "platform/port/pngfile.h"
#include "platform/port/wavfile.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/tempdir.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t little(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t{b[at + i]} << (8 * i);
  return v;
}

class CaptureFiles : public ::testing::Test {
protected:
  TestDirectory scratch{"nyra-capture-files"};
  const fs::path& dir = scratch.path();
};

TEST_F(CaptureFiles, AWavFileSaysItsFormatAndLengthAndHoldsTheSamplesAsGiven) {
  port::WavFile wav;
  ASSERT_EQ(wav.open((dir / "a.wav").string(), 44100, 2), "");
  const std::vector<std::int16_t> samples = {1, -1, 32767, -32768, 300, -300};
  ASSERT_EQ(wav.write(samples.data(), 2), "");
  ASSERT_EQ(wav.write(samples.data() + 4, 1), "");
  EXPECT_EQ(wav.frames(), 3u);
  ASSERT_EQ(wav.close(), "");
  const std::vector<std::uint8_t> b = readBytes(dir / "a.wav");
  ASSERT_EQ(b.size(), 44u + 12u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(little(b, 4, 4), 36u + 12u);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(little(b, 20, 2), 1u);          // PCM
  EXPECT_EQ(little(b, 22, 2), 2u);          // channels
  EXPECT_EQ(little(b, 24, 4), 44100u);
  EXPECT_EQ(little(b, 28, 4), 44100u * 4);  // bytes per second
  EXPECT_EQ(little(b, 32, 2), 4u);          // bytes per frame
  EXPECT_EQ(little(b, 34, 2), 16u);
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  EXPECT_EQ(little(b, 40, 4), 12u);
  EXPECT_EQ(little(b, 44 + 4, 2), 32767u);
  EXPECT_EQ(little(b, 44 + 8, 2), 300u);
}

TEST_F(CaptureFiles, AFullDiskIsReportedBySoundAndPictureWriters) {
  const FileSizeLimit disk(64 * 1024);
  port::WavFile wav;
  ASSERT_EQ(wav.open((dir / "a.wav").string(), 44100, 2), "");
  std::vector<std::int16_t> second(2 * 44100, 5);
  std::string error = wav.write(second.data(), 44100);
  if (error.empty()) error = wav.close();
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  std::vector<std::uint32_t> noise(256 * 256);
  std::uint32_t state = 12345;
  for (std::uint32_t& n : noise) { // xorshift: nothing for the compressor to find
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    n = state;
  }
  const port::PngPicture picture{reinterpret_cast<const std::uint8_t*>(noise.data()), 256, 256, 256 * 4};
  EXPECT_NE(port::writePngFile((dir / "a.png").string(), picture).find("File too large"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "a.png")) << "a picture that could not be written is removed";
}

TEST_F(CaptureFiles, PngPicturesReadBackExactlyInEitherByteOrderAndAreCompressed) {
  const int w = 97, h = 31; // odd sizes: no row or pixel alignment to lean on
  std::vector<std::uint32_t> bgrx(w * h), rgbx(w * h);
  for (int i = 0; i < w * h; ++i) {
    const std::uint32_t r = (i * 7) & 0xFF, g = (i / w * 9) & 0xFF, b = (i % w) & 0xFF;
    bgrx[i] = 0xAA000000u | (r << 16) | (g << 8) | b; // the top byte is not stored
    rgbx[i] = 0x55000000u | (b << 16) | (g << 8) | r;
  }
  const auto asBytes = [](const std::vector<std::uint32_t>& p) { return reinterpret_cast<const std::uint8_t*>(p.data()); };
  ASSERT_EQ(port::writePngFile((dir / "bgrx.png").string(),
                               {asBytes(bgrx), w, h, std::size_t(w) * 4, port::PixelBytes::Bgrx}),
            "");
  ASSERT_EQ(port::writePngFile((dir / "rgbx.png").string(),
                               {asBytes(rgbx), w, h, std::size_t(w) * 4, port::PixelBytes::Rgbx},
                               port::PngSmallLevel),
            "");
  for (const char* name : {"bgrx.png", "rgbx.png"}) {
    port::PngPixels back;
    ASSERT_EQ(port::readPngFile((dir / name).string(), back), "") << name;
    ASSERT_EQ(back.width, w);
    ASSERT_EQ(back.height, h);
    int wrong = 0;
    for (int i = 0; i < w * h; ++i) wrong += back.pixels[i] != (bgrx[i] & 0xFFFFFFu);
    EXPECT_EQ(wrong, 0) << name;
  }
  // A flat picture compresses to a small fraction of its 921,600 raw bytes.
  const std::vector<std::uint32_t> flat(640 * 480, 0x00203040);
  ASSERT_EQ(port::writePngFile((dir / "flat.png").string(), {asBytes(flat), 640, 480, 640 * 4}), "");
  EXPECT_LT(fs::file_size(dir / "flat.png"), 20000u);
}

TEST_F(CaptureFiles, PngFaultsAreReportedAndLeaveNoFile) {
  const std::vector<std::uint32_t> pixels(16, 0);
  const port::PngPicture picture{reinterpret_cast<const std::uint8_t*>(pixels.data()), 4, 4, 16};
  EXPECT_NE(port::writePngFile((dir / "missing" / "a.png").string(), picture), "");
  EXPECT_NE(port::writePngFile((dir / "a.png").string(), port::PngPicture{}), "");
  EXPECT_FALSE(fs::exists(dir / "a.png"));
  std::ofstream(dir / "not.png") << "not a picture";
  port::PngPixels back;
  EXPECT_NE(port::readPngFile((dir / "not.png").string(), back), "");
  EXPECT_EQ(back.width, 0);
  EXPECT_NE(port::readPngFile((dir / "none.png").string(), back), "");
}

// A small recording through the image-sequence encoder; on a failure it is abandoned, as
// the recorder does.
port::CaptureFormat smallFormat() { return port::CaptureFormat{32, 24, 10, 44100, 2}; }

std::string recordFrames(port::ImageSequenceEncoder& encoder, int frames) {
  const port::CaptureFormat f = smallFormat();
  if (std::string e = encoder.prepare(); !e.empty()) return e;
  if (std::string e = encoder.begin(f); !e.empty()) return e;
  std::vector<std::uint32_t> pixels(f.width * f.height);
  std::vector<std::int16_t> sound(2 * 4410);
  for (int n = 0; n < frames; ++n) {
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint32_t>(n * 1000 + i);
    for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<std::int16_t>(n + i);
    if (std::string e = encoder.addFrame(pixels.data()); !e.empty()) return e;
    if (std::string e = encoder.addAudio(sound.data(), 4410); !e.empty()) return e;
  }
  return encoder.finish();
}

std::string record(port::ImageSequenceEncoder& encoder, int frames) {
  std::string error = recordFrames(encoder, frames);
  if (!error.empty()) encoder.abandon();
  return error;
}

TEST_F(CaptureFiles, AFramesDirectoryHoldsNumberedPicturesAndTheSoundWhenFinished) {
  fs::path out = dir / "made" / "here"; // made by the recording
  port::ImageSequenceEncoder encoder(out, 2);
  ASSERT_EQ(record(encoder, 12), "");
  for (int n = 0; n < 12; ++n) {
    port::PngPixels back;
    ASSERT_EQ(port::readPngFile((out / port::ImageSequenceEncoder::frameName(n)).string(), back), "") << n;
    EXPECT_EQ(back.pixels[5], static_cast<std::uint32_t>(n * 1000 + 5) & 0xFFFFFFu) << "frame " << n << " in order";
  }
  EXPECT_FALSE(fs::exists(out / port::ImageSequenceEncoder::frameName(12)));
  EXPECT_EQ(port::ImageSequenceEncoder::frameName(42), "frame000042.png");
  EXPECT_EQ(fs::file_size(out / "audio.wav"), 44u + 12u * 4410u * 4u);
  EXPECT_FALSE(fs::exists(out / "audio.wav.partial"));
}

TEST_F(CaptureFiles, ANewRecordingReplacesTheFramesOfAnEarlierOneButNothingElse) {
  port::ImageSequenceEncoder first(dir, 1);
  ASSERT_EQ(record(first, 5), "");
  std::ofstream(dir / "notes.txt") << "mine";
  port::ImageSequenceEncoder second(dir, 1);
  ASSERT_EQ(record(second, 3), "");
  EXPECT_TRUE(fs::exists(dir / "frame000002.png"));
  EXPECT_FALSE(fs::exists(dir / "frame000003.png"));
  EXPECT_TRUE(fs::exists(dir / "notes.txt"));
}

TEST_F(CaptureFiles, AnAbandonedRecordingLeavesNothingThatLooksFinished) {
  fs::path out = dir / "made";
  {
    port::ImageSequenceEncoder encoder(out, 2);
    ASSERT_EQ(encoder.prepare(), "");
    ASSERT_EQ(encoder.begin(smallFormat()), "");
    std::vector<std::uint32_t> pixels(32 * 24, 7);
    std::vector<std::int16_t> sound(2 * 100, 1);
    for (int n = 0; n < 6; ++n) {
      ASSERT_EQ(encoder.addFrame(pixels.data()), "");
      ASSERT_EQ(encoder.addAudio(sound.data(), 100), "");
    }
    encoder.abandon();
  }
  EXPECT_FALSE(fs::exists(out)) << "the directory it made, empty again, is gone too";
  // Destroyed unfinished: the same.
  {
    port::ImageSequenceEncoder encoder(dir, 1);
    ASSERT_EQ(encoder.prepare(), "");
    ASSERT_EQ(encoder.begin(smallFormat()), "");
    std::vector<std::uint32_t> pixels(32 * 24, 7);
    ASSERT_EQ(encoder.addFrame(pixels.data()), "");
  }
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(CaptureFiles, AnOutputThatCannotBeMadeIsRefusedBeforeTheShowAndAFullDiskMidWay) {
  std::ofstream(dir / "plain") << "a file, not a directory";
  port::ImageSequenceEncoder underAFile(dir / "plain" / "frames", 1);
  EXPECT_NE(underAFile.prepare().find("cannot create the directory"), std::string::npos);
  // The disk fills mid-way: the recording fails and removes what it wrote.
  fs::path out = dir / "full";
  port::ImageSequenceEncoder encoder(out, 1);
  std::string error;
  {
    const FileSizeLimit disk(100 * 1024); // the sound reaches it after about six frames
    error = record(encoder, 40);
  }
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  EXPECT_NE(error.find("audio.wav.partial"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(out / "audio.wav"));
  EXPECT_FALSE(fs::exists(out / "frame000000.png"));
}

} // namespace
