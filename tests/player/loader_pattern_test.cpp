// Unpacking patterns into cells: both cell encodings, empty and truncated packed data,
// odd header lengths and the note and instrument conversions.
#include <gtest/gtest.h>

#include <random>

#include "player/song.h"
#include "tests/support/songfile.h"
#include "tests/support/xmwriter.h"

namespace {

struct Loaded {
  std::vector<std::uint8_t> bytes;
  SongPtr song;
};

Loaded load(const XmModule& module) {
  Loaded loaded{writeXm(module), nullptr};
  loaded.song = loadSongBytes(loaded.bytes);
  return loaded;
}

XmModule moduleWithPatterns(int count, int rows) {
  XmModule module;
  for (int p = 0; p < count; ++p) {
    module.orders.push_back(static_cast<std::uint8_t>(p));
    module.addPattern(rows);
  }
  return module;
}

void fillRandomCells(XmPattern& pattern, std::mt19937& random) {
  std::uniform_int_distribution<int> byte(0, 255), note(0, 97), instrument(0, 128), pick(0, 3);
  for (XmCell& cell : pattern.cells) {
    // Mix empty, partly filled and full cells.
    cell = {};
    if (pick(random) == 0) continue;
    if (pick(random)) cell.note = static_cast<std::uint8_t>(note(random));
    if (pick(random)) cell.instrument = static_cast<std::uint8_t>(instrument(random));
    if (pick(random)) cell.volume = static_cast<std::uint8_t>(byte(random));
    if (pick(random)) cell.effect = static_cast<std::uint8_t>(byte(random) % 36);
    if (pick(random)) cell.param = static_cast<std::uint8_t>(byte(random));
  }
}

void expectCells(const Pattern& loaded, const XmPattern& written) {
  ASSERT_EQ(loaded.rows, written.rows());
  for (std::size_t i = 0; i < written.cells.size(); ++i) {
    const XmCell& w = written.cells[i];
    const NoteCell& c = loaded.cells[i];
    const std::uint8_t note = w.note == XmNoteKeyOff ? NoteKeyOff : w.note;
    ASSERT_EQ(c.note, note) << "cell " << i;
    ASSERT_EQ(c.instrument, w.instrument) << "cell " << i;
    ASSERT_EQ(c.volume, w.volume) << "cell " << i;
    ASSERT_EQ(c.effect, w.effect) << "cell " << i;
    ASSERT_EQ(c.param, w.param) << "cell " << i;
  }
}

bool emptyFrom(const Pattern& pattern, int channels, int firstCell) {
  for (int i = firstCell; i < pattern.rows * channels; ++i) {
    const NoteCell& c = pattern.cells[i];
    if (c.note | c.instrument | c.volume | c.effect | c.param) return false;
  }
  return true;
}

TEST(LoaderPatterns, EveryCellEncodingReadsBackTheSameCells) {
  std::mt19937 random(11);
  for (XmPacking packing : {XmPacking::Compact, XmPacking::Plain, XmPacking::MaskOnly}) {
    XmModule module = moduleWithPatterns(3, 20);
    for (XmPattern& pattern : module.patterns) {
      fillRandomCells(pattern, random);
      pattern.packing = packing;
    }
    Loaded loaded = load(module);
    ASSERT_NE(loaded.song, nullptr);
    for (int p = 0; p < 3; ++p) expectCells(loaded.song->patterns[p], module.patterns[p]);
  }
}

TEST(LoaderPatterns, ZeroPackedSizeGivesEmptyCellsWithTheDeclaredRows) {
  XmModule module = moduleWithPatterns(2, 48);
  module.patterns[0].emptyAsZeroSize = true;
  module.patterns[1].at(5, 1) = {30, 2, 0x40, 0, 0};
  Loaded loaded = load(module);
  ASSERT_NE(loaded.song, nullptr);
  EXPECT_EQ(loaded.song->patterns[0].rows, 48);
  EXPECT_TRUE(emptyFrom(loaded.song->patterns[0], 4, 0));
  EXPECT_EQ(loaded.song->patterns[1].cells[5 * 4 + 1].note, 30);
}

TEST(LoaderPatterns, MaskByteAloneIsAnEmptyCellAndAPlainZeroNoteTakesFourMoreBytes) {
  XmModule module = moduleWithPatterns(1, 1);
  module.numChannels = 2;
  module.patterns[0].channels = 2;
  module.patterns[0].cells.resize(2);
  // Cell 0: mask 0x80 with nothing after it. Cell 1: plain, note 0, then 4 bytes.
  module.patterns[0].rawPackedData = std::vector<std::uint8_t>{0x80, 0x00, 5, 0x10, 0x0A, 0x0F};
  Loaded loaded = load(module);
  ASSERT_NE(loaded.song, nullptr);
  const NoteCell* cells = loaded.song->patterns[0].cells;
  EXPECT_EQ(cells[0].note | cells[0].instrument | cells[0].volume | cells[0].effect, 0);
  EXPECT_EQ(cells[1].note, 0);
  EXPECT_EQ(cells[1].instrument, 5);
  EXPECT_EQ(cells[1].volume, 0x10);
  EXPECT_EQ(cells[1].effect, 0x0A);
  EXPECT_EQ(cells[1].param, 0x0F);
}

TEST(LoaderPatterns, KeyOffInstrumentAndNoteRangesAreNormalised) {
  XmModule module = moduleWithPatterns(1, 1);
  module.patterns[0].at(0, 0) = {97, 200, 0, 0, 0};
  module.patterns[0].at(0, 1) = {96, 128, 0, 0, 0};
  module.patterns[0].at(0, 2) = {98, 129, 0, 0, 0};
  module.patterns[0].at(0, 3) = {0xFE, 1, 0, 0, 0}; // only reachable with a mask byte
  module.patterns[0].packing = XmPacking::MaskOnly;
  Loaded loaded = load(module);
  ASSERT_NE(loaded.song, nullptr);
  const NoteCell* cells = loaded.song->patterns[0].cells;
  EXPECT_EQ(cells[0].note, NoteKeyOff);
  EXPECT_EQ(cells[0].instrument, 0);
  EXPECT_EQ(cells[1].note, 96);
  EXPECT_EQ(cells[1].instrument, 128);
  EXPECT_EQ(cells[2].note, NoteNone); // past key-off: not a note
  EXPECT_EQ(cells[2].instrument, 0);
  EXPECT_EQ(cells[3].note, NoteNone);
  EXPECT_EQ(cells[3].instrument, 1);
}

TEST(LoaderPatterns, RowsFieldZeroMeans256Rows) {
  XmModule module = moduleWithPatterns(2, 1);
  module.patterns[0].rowsField = 0;
  module.patterns[0].emptyAsZeroSize = true;
  module.patterns[1].at(0, 0) = {1, 1, 0, 0, 0};
  Loaded loaded = load(module);
  ASSERT_NE(loaded.song, nullptr);
  EXPECT_EQ(loaded.song->patterns[0].rows, 256);
  EXPECT_TRUE(emptyFrom(loaded.song->patterns[0], 4, 0));
  EXPECT_EQ(loaded.song->patterns[1].cells[0].note, 1);
}

TEST(LoaderPatterns, MoreThan256RowsIsRefused) {
  XmModule module = moduleWithPatterns(1, 1);
  module.patterns[0].rowsField = 257;
  const std::vector<std::uint8_t> bytes = writeXm(module);
  const char* reason = nullptr;
  EXPECT_EQ(loadSongBytes(bytes, nullptr, &reason), nullptr);
  EXPECT_STREQ(reason, "pattern 0 has more than 256 rows (257)");
}

TEST(LoaderPatterns, LongerDeclaredHeaderLengthIsHonoured) {
  std::mt19937 random(5);
  for (std::uint32_t headerLength : {12u, 40u}) {
    XmModule module = moduleWithPatterns(3, 10);
    for (XmPattern& pattern : module.patterns) {
      fillRandomCells(pattern, random);
      pattern.headerLength = headerLength; // zero bytes after the 9 fixed ones
    }
    Loaded loaded = load(module);
    ASSERT_NE(loaded.song, nullptr) << headerLength;
    for (int p = 0; p < 3; ++p) expectCells(loaded.song->patterns[p], module.patterns[p]);
  }
}

TEST(LoaderPatterns, DeclaredHeaderLengthBelowNineStillSkipsTheNineFixedBytes) {
  std::mt19937 random(6);
  XmModule module = moduleWithPatterns(2, 10);
  for (XmPattern& pattern : module.patterns) fillRandomCells(pattern, random);
  XmLayout layout;
  std::vector<std::uint8_t> bytes = writeXm(module, &layout);
  bytes[layout.patternStarts[0]] = 0;
  bytes[layout.patternStarts[1]] = 5;
  SongPtr song = loadSongBytes(bytes);
  ASSERT_NE(song, nullptr);
  for (int p = 0; p < 2; ++p) expectCells(song->patterns[p], module.patterns[p]);
}

TEST(LoaderPatterns, TruncatedPackedDataLeavesTheRestEmptyAndTheNextPatternIntact) {
  std::mt19937 random(3);
  XmModule module = moduleWithPatterns(3, 16);
  for (XmPattern& pattern : module.patterns) {
    fillRandomCells(pattern, random);
    pattern.packing = XmPacking::Plain; // 5 bytes a cell: the cut point is a cell boundary
  }
  module.patterns[0].packedBytesKept = 5 * 10;    // ten cells, then the data ends
  module.patterns[1].packedBytesKept = 5 * 7 + 3; // a cell cut inside its bytes
  module.instruments.push_back(XmInstrument::withSample(XmSample::pcm8({1, 2, 3})));
  Loaded loaded = load(module);
  ASSERT_NE(loaded.song, nullptr);
  const Pattern& first = loaded.song->patterns[0];
  for (int i = 0; i < 10; ++i) EXPECT_EQ(first.cells[i].param, module.patterns[0].cells[i].param);
  EXPECT_TRUE(emptyFrom(first, 4, 10));
  const Pattern& second = loaded.song->patterns[1];
  EXPECT_EQ(second.cells[6].effect, module.patterns[1].cells[6].effect);
  // The cut cell keeps the bytes present (note, instrument, volume) and zeros after them.
  EXPECT_EQ(second.cells[7].note, module.patterns[1].cells[7].note);
  EXPECT_EQ(second.cells[7].volume, module.patterns[1].cells[7].volume);
  EXPECT_EQ(second.cells[7].effect, 0);
  EXPECT_TRUE(emptyFrom(second, 4, 8));
  expectCells(loaded.song->patterns[2], module.patterns[2]);
  EXPECT_EQ(loaded.song->instruments[0].samples[0]->data[2], 3 * 256);
}

TEST(LoaderPatterns, PackedDataLongerThanTheCellsIsSkipped) {
  XmModule module = moduleWithPatterns(2, 2);
  module.patterns[0].at(1, 3) = {50, 0, 0, 0, 0};
  std::vector<std::uint8_t> packed = packCells(module.patterns[0]);
  packed.insert(packed.end(), {0x81, 0x22, 0x81, 0x33}); // trailing bytes within the size
  module.patterns[0].rawPackedData = packed;
  module.patterns[1].at(0, 0) = {60, 0, 0, 0, 0};
  Loaded loaded = load(module);
  ASSERT_NE(loaded.song, nullptr);
  EXPECT_EQ(loaded.song->patterns[0].cells[7].note, 50);
  EXPECT_EQ(loaded.song->patterns[1].cells[0].note, 60);
}

} // namespace
