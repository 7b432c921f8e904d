#include "content/pcx.h"

#include <gtest/gtest.h>

#include "platform/port/testhooks.h"
#include "tests/content/pixeltest.h"

namespace {

OwnedPixels decode(const std::vector<std::uint8_t>& file) { return OwnedPixels(decodePcx(file.data(), file.size())); }

// A 256-entry palette in which index i is (i, 255 - i, i / 2).
void appendRampPalette(std::vector<std::uint8_t>& file) {
  file.push_back(12);
  for (int i = 0; i < 256; ++i) append(file, {i, 255 - i, i / 2});
}

void expectIndex(const OwnedPixels& image, std::uint32_t x, std::uint32_t y, int index) {
  SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
  EXPECT_EQ(image.channel(x, y, ChannelRed), index);
  EXPECT_EQ(image.channel(x, y, ChannelGreen), 255 - index);
  EXPECT_EQ(image.channel(x, y, ChannelBlue), index / 2);
  EXPECT_EQ(image.channel(x, y, ChannelSpare), 0);
}

TEST(PcxPalette, OddXmaxGivesEvenWidthWhoseExtraColumnComesFromTheStream) {
  auto file = pcxHeader(2, 1, 1); // 3 wide -> 4 wide, 2 rows
  append(file, {1, 2, 3, 4, 5, 6, 7, 8});
  appendRampPalette(file);
  OwnedPixels image = decode(file);
  ASSERT_EQ(image.buffer.width, 4u);
  ASSERT_EQ(image.buffer.height, 2u);
  expectIndex(image, 3, 0, 4);
  expectIndex(image, 0, 1, 5);
  expectIndex(image, 3, 1, 8);
}

TEST(PcxPalette, RunsCarryOnAcrossRowsAndTheOvershootIsDropped) {
  auto file = pcxHeader(1, 2, 1); // 2 x 3
  append(file, {0xC3, 9, 0xC5, 10}); // 3 of 9 (crosses into row 1), then 5 of 10 (3 used)
  appendRampPalette(file);
  OwnedPixels image = decode(file);
  expectIndex(image, 0, 0, 9);
  expectIndex(image, 1, 0, 9);
  expectIndex(image, 0, 1, 9);
  expectIndex(image, 1, 1, 10);
  expectIndex(image, 1, 2, 10);
}

TEST(PcxPalette, PaletteStartsOneByteAfterTheLastConsumedImageByte) {
  auto file = pcxHeader(1, 0, 1); // 2 x 1: two literals, then trailing bytes before the palette
  append(file, {0xC2, 1, 77}); // the run fills the image; 77 is the skipped marker position
  for (int i = 0; i < 256; ++i) append(file, {i, 255 - i, i / 2});
  append(file, {9, 9, 9, 9, 9, 9}); // trailing bytes: the palette is not found from the end
  OwnedPixels image = decode(file);
  expectIndex(image, 0, 0, 1);
  expectIndex(image, 1, 0, 1);
}

TEST(PcxPalette, CountZeroProducesNothingAndHighValuesNeedARun) {
  auto file = pcxHeader(1, 0, 1);
  append(file, {0xC0, 55, 0xC1, 200, 3});
  appendRampPalette(file);
  OwnedPixels image = decode(file);
  expectIndex(image, 0, 0, 200);
  expectIndex(image, 1, 0, 3);
}

TEST(PcxRgb, RunCrossingAPlaneEndMatchesRunsThatStopAtIt) {
  // 4 x 1: a run of 6 in the red plane drops its excess; green starts at the next code.
  auto crossing = pcxHeader(3, 0, 3);
  append(crossing, {0xC6, 50, 0xC4, 60, 1, 2, 3, 4});
  auto split = pcxHeader(3, 0, 3);
  append(split, {0xC4, 50, 0xC2, 60, 0xC2, 60, 1, 2, 3, 4});
  OwnedPixels a = decode(crossing), b = decode(split);
  for (std::uint32_t x = 0; x < 4; ++x) {
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(a.channel(x, 0, ch), b.channel(x, 0, ch)) << x << " " << ch;
    EXPECT_EQ(a.channel(x, 0, ChannelRed), 50);
    EXPECT_EQ(a.channel(x, 0, ChannelGreen), 60);
    EXPECT_EQ(a.channel(x, 0, ChannelBlue), int(x) + 1);
    EXPECT_EQ(a.channel(x, 0, ChannelSpare), 0);
  }
}

TEST(PcxRgb, PlanesAreRedGreenBluePerRowAndRowsDoNotShareRuns) {
  auto file = pcxHeader(1, 1, 3); // 2 x 2
  append(file, {0xC3, 11, 0xC2, 22, 0xC2, 33}); // row 0; the red run's third value is dropped
  append(file, {0xC2, 44, 0xC2, 55, 0xC2, 66}); // row 1
  OwnedPixels image = decode(file);
  EXPECT_EQ(image.channel(1, 0, ChannelRed), 11);
  EXPECT_EQ(image.channel(1, 0, ChannelGreen), 22);
  EXPECT_EQ(image.channel(1, 0, ChannelBlue), 33);
  EXPECT_EQ(image.channel(0, 1, ChannelRed), 44);
  EXPECT_EQ(image.channel(0, 1, ChannelGreen), 55);
  EXPECT_EQ(image.channel(0, 1, ChannelBlue), 66);
}

TEST(PcxLimits, UnknownPlaneCountDecodesToBlackOfTheHeaderSize) {
  auto file = pcxHeader(5, 3, 4);
  append(file, {0xC8, 99, 0xC8, 99, 0xC8, 99});
  OwnedPixels image = decode(file);
  ASSERT_EQ(image.buffer.width, 6u);
  ASSERT_EQ(image.buffer.height, 4u);
  for (std::size_t i = 0; i < pixelCount(image.buffer); ++i) EXPECT_EQ(image.buffer.pixels[i].channel[ChannelRed], 0);
}

TEST(PcxLimits, ShortIndexedFileLeavesTheRestBlackAndReadsNoPalette) {
  auto file = pcxHeader(3, 1, 1); // 4 x 2 needs 8 values; the file holds 3
  append(file, {0xC3, 7});
  // The buffer ends here: the decoder must not look past it (ASan catches a stray read).
  OwnedPixels image = decode(file);
  for (std::size_t i = 0; i < pixelCount(image.buffer); ++i) {
    for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(image.buffer.pixels[i].channel[ch], 0) << i;
  }
}

TEST(PcxLimits, TruncatedPaletteReadsMissingEntriesAsBlack) {
  auto file = pcxHeader(1, 0, 1);
  append(file, {1, 2, 12});
  append(file, {10, 20, 30, 40, 50, 60, 70}); // entry 1 complete, entry 2 has one byte
  OwnedPixels image = decode(file);
  EXPECT_EQ(image.channel(0, 0, ChannelRed), 40);
  EXPECT_EQ(image.channel(0, 0, ChannelBlue), 60);
  EXPECT_EQ(image.channel(1, 0, ChannelRed), 70);
  EXPECT_EQ(image.channel(1, 0, ChannelGreen), 0);
  EXPECT_EQ(image.channel(1, 0, ChannelBlue), 0);
}

TEST(PcxLimits, ShortRgbFileAndRunWithoutValueStopCleanly) {
  auto file = pcxHeader(1, 1, 3);
  append(file, {0xC2, 90, 5, 0xC2}); // red row 0, half of green, then a count with no value
  OwnedPixels image = decode(file);
  EXPECT_EQ(image.channel(1, 0, ChannelRed), 90);
  EXPECT_EQ(image.channel(0, 0, ChannelGreen), 5);
  EXPECT_EQ(image.channel(1, 0, ChannelGreen), 0);
  EXPECT_EQ(image.channel(0, 1, ChannelRed), 0);
}

TEST(PcxLimits, FileShorterThanItsHeaderDecodesToBlack) {
  std::vector<std::uint8_t> file = {10, 5, 1, 8, 0, 0, 0, 0, 3}; // Xmax low byte 3, nothing more
  OwnedPixels image = decode(file);
  EXPECT_EQ(image.buffer.width, 4u);
  EXPECT_EQ(image.buffer.height, 1u);
  for (std::size_t i = 0; i < pixelCount(image.buffer); ++i) EXPECT_EQ(image.buffer.pixels[i].channel[ChannelRed], 0);
}

// Found by fuzzing: a header declaring 65536 x 65536 pixels (16 GB) in a file of 266
// bytes. When the heap cannot hold the picture (or the palette decoder's index buffer),
// the decoder returns an empty picture instead of writing through a null block.
TEST(PcxLimits, PictureTooLargeForTheHeapDecodesToNothing) {
  const std::vector<std::uint8_t> found = {
    0x0A, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0x00, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xF6, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFB, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0x00, 0xD0, 0x00, 0xC6, 0x00, 0xC4,
    0x01, 0xC6, 0x00, 0xC4, 0x00, 0xC2, 0x01, 0xC4, 0x09, 0xC2, 0x01, 0x01, 0xC4, 0x09, 0xC2, 0x01,
    0xC4, 0x00, 0xC6, 0x00, 0xC4, 0x01, 0xC6, 0x00, 0xD0, 0x00, 0xD0, 0x00, 0x0C, 0x00, 0x00, 0x00,
    0x01, 0x01, 0x01, 0x02, 0x02, 0x02, 0x03, 0x03, 0x03, 0x04, 0x04, 0x04, 0x05, 0x05, 0x05, 0x06,
    0x06, 0x06, 0x07, 0x07, 0x07, 0x08, 0x08, 0x08, 0x09, 0x09, 0x09, 0x0A, 0x0A, 0x0A, 0x0B, 0x0B,
    0x0B, 0x0C, 0x0C, 0x0C, 0x0D, 0x0D, 0x0D, 0x0E, 0x0E, 0x0E, 0x0F, 0x0F, 0x0F, 0x10, 0x10, 0x10,
    0x11, 0x11, 0x11, 0x12, 0x12, 0x01, 0x1D, 0x12, 0x13, 0x13, 0x13, 0x14, 0x14, 0x14, 0x15, 0x15,
    0x15, 0x16, 0x16, 0x16, 0x17, 0x17, 0x17, 0x18, 0x18, 0x18, 0x19, 0x19, 0x19, 0x1A, 0xCE, 0xCE,
    0xCF, 0xCF, 0xCF, 0xD0, 0xD0, 0xD0, 0xD1, 0xF9, 0xFA, 0xFA, 0xFA, 0xFB, 0xFB, 0xFB, 0xFC, 0xFC,
    0xFC, 0xFD, 0xFD, 0xFD, 0xFE, 0xFE, 0xFE, 0xFF, 0xFF, 0xFF,
  };
  port::setFailure(port::FailPoint::HeapAlloc, true);
  PixelBuffer image = decodePcx(found.data(), found.size());
  port::setFailure(port::FailPoint::HeapAlloc, false);
  EXPECT_EQ(image.width, 0u);
  EXPECT_EQ(image.height, 0u);
  EXPECT_EQ(image.pixels, nullptr);

  // A palette picture whose pixels fit but whose index buffer does not: black, no crash.
  auto file = pcxHeader(3, 1, 1);
  append(file, {0xC8, 1});
  appendRampPalette(file); // index 1 is red 1: decoded, no pixel would be black
  port::setFailureAfter(port::FailPoint::HeapAlloc, 1);
  OwnedPixels black = decode(file);
  port::clearFailures();
  ASSERT_EQ(pixelCount(black.buffer), 8u);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(black.buffer.pixels[i].channel[ChannelRed], 0) << i;
}

} // namespace
