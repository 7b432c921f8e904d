// The committed song: remade byte for byte by tools/songgen, shaped as the show expects
// (a FastTracker 2 module of 4 channels, 21 patterns, 30 orders, 5 one-sample 8-bit
// instruments), timed so that a row is always 80 ms, and accented exactly where the show
// flashes.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/embedded.h"
#include "direction/synctable.h"
#include "player/song.h"
#include "tests/support/songfile.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes committedSong() { return readFile(std::string(NYRA_SOURCE_DIR) + "/data/song.xm"); }

unsigned word(const Bytes& b, std::size_t at) { return b.at(at) | (b.at(at + 1) << 8); }
unsigned dword(const Bytes& b, std::size_t at) { return word(b, at) | (word(b, at + 2) << 16); }

// The show's flash rows of one order position, from the show's own sync table.
std::vector<int> showSyncRows(int order) {
  std::vector<int> rows;
  for (const SyncPoint& p : syncTable)
    if (p.order == order) rows.push_back(p.row);
  return rows;
}

constexpr std::uint8_t CymbalInstrument = 3;
constexpr std::uint8_t EffectPositionJump = 0x0B, EffectPatternBreak = 0x0D;
constexpr std::uint8_t EffectExtended = 0x0E, EffectSpeed = 0x0F;
constexpr std::uint8_t ExtendedPatternLoop = 0x6, ExtendedNoteCut = 0xC, ExtendedPatternDelay = 0xE;

// A crash: the cymbal struck and let ring (hi-hats are the same sample, cut short).
bool isCrash(const NoteCell& c) {
  const bool struck = c.note != NoteNone && c.note != NoteKeyOff;
  const bool cut = c.effect == EffectExtended && (c.param >> 4) == ExtendedNoteCut;
  return struck && c.instrument == CymbalInstrument && !cut;
}

const NoteCell& cellAt(const Song& song, int order, int row, int channel) {
  const Pattern& p = song.patterns[song.orderTable[order]];
  return p.cells[row * song.numChannels + channel];
}

TEST(SongGenerator, RemakesTheCommittedModuleByteForByte) {
  const std::string generator = std::string(NYRA_BINARY_DIR) + "/bin/songgen";
  if (!std::filesystem::exists(generator))
    GTEST_SKIP() << "songgen not built (" << generator << "); build the songgen target";
  const std::string out = (std::filesystem::temp_directory_path() /
                           ("songgen_test_" + std::to_string(::getpid()) + ".xm")).string();
  ASSERT_EQ(std::system((generator + " " + out + " > /dev/null").c_str()), 0);
  const Bytes made = readFile(out);
  std::filesystem::remove(out);
  EXPECT_FALSE(made.empty());
  EXPECT_TRUE(made == committedSong()) << "data/song.xm is stale: run songgen data/song.xm";
}

TEST(SongModule, EmbeddedArrayIsTheCommittedFile) {
  EXPECT_EQ(committedSong(), Bytes(songModule, songModule + songModuleSize));
}

// Walks the file as FastTracker 2 writes it: every header at its documented size, packed
// 64-row patterns, then five instruments of one 8-bit sample each, ending exactly there.
TEST(SongModule, FileLayoutIsFastTracker2WithEightBitSamples) {
  const Bytes b = committedSong();
  ASSERT_GT(b.size(), 336u);
  EXPECT_LT(b.size(), 48u * 1024u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
  EXPECT_EQ(b[37], 0x1A);
  EXPECT_EQ(word(b, 58), 0x0104u);
  EXPECT_EQ(dword(b, 60), 276u);
  std::size_t at = 60 + dword(b, 60);
  for (unsigned p = 0; p < word(b, 70); ++p) {
    EXPECT_EQ(dword(b, at), 9u) << "pattern " << p;
    EXPECT_EQ(b.at(at + 4), 0) << "pattern " << p;
    EXPECT_EQ(word(b, at + 5), 64u) << "pattern " << p;
    EXPECT_GT(word(b, at + 7), 0u) << "pattern " << p;
    at += 9 + word(b, at + 7);
  }
  for (unsigned i = 0; i < word(b, 72); ++i) {
    const std::size_t start = at;
    EXPECT_EQ(dword(b, start), 263u) << "instrument " << i;
    ASSERT_EQ(word(b, start + 27), 1u) << "instrument " << i;
    EXPECT_EQ(dword(b, start + 29), 40u) << "instrument " << i;
    const std::size_t sample = start + dword(b, start);
    const unsigned type = b.at(sample + 14);
    EXPECT_EQ(type & 0x10, 0u) << "instrument " << i << " has a 16-bit sample";
    at = sample + 40 + dword(b, sample);
  }
  EXPECT_EQ(at, b.size());
}

int widestSample = 0;
void recordWidth(void*, std::int32_t, std::int32_t bitsPerSample, std::int32_t, std::int32_t) {
  widestSample = std::max(widestSample, static_cast<int>(bitsPerSample));
}

TEST(SongModule, LoadsWithTheShapeTheShowNeeds) {
  const Bytes bytes = committedSong();
  const char* reason = nullptr;
  SongPtr song = loadSongBytes(bytes, nullptr, &reason);
  ASSERT_TRUE(song) << (reason ? reason : "");
  EXPECT_EQ(song->numChannels, 4);
  EXPECT_EQ(song->numPatterns, 21);
  EXPECT_EQ(song->usedPatterns, 21);
  EXPECT_EQ(song->songLength, 30);
  EXPECT_EQ(song->restartPosition, 12);
  EXPECT_EQ(song->defaultSpeed, 4);
  EXPECT_EQ(song->defaultBpm, 125);
  EXPECT_EQ(song->flags & SongFlagLinear, 0);
  for (int p = 0; p < song->numPatterns; ++p) EXPECT_EQ(song->patterns[p].rows, 64) << p;
  ASSERT_EQ(song->numInstruments, 5);
  for (int i = 0; i < song->numInstruments; ++i) {
    EXPECT_EQ(song->instruments[i].numSamples, 1) << i;
    EXPECT_GT(song->instruments[i].samples[0]->length, 0u) << i;
  }
  // The loader widens to 16 bits; what the file declares reaches the data callback.
  widestSample = 0;
  SongPtr widthProbe = loadSongBytes(bytes, recordWidth);
  ASSERT_TRUE(widthProbe);
  EXPECT_EQ(widestSample, 8);
}

// Nothing changes the row clock or jumps: each row lasts 4 ticks at 125 BPM (80 ms), and
// the orders play in sequence, so a flash row is heard at rows elapsed x 80 ms.
TEST(SongModule, EveryRowLastsEightyMilliseconds) {
  const Bytes bytes = committedSong();
  SongPtr song = loadSongBytes(bytes);
  ASSERT_TRUE(song);
  for (int p = 0; p < song->numPatterns; ++p) {
    const Pattern& pattern = song->patterns[p];
    for (int k = 0; k < pattern.rows * song->numChannels; ++k) {
      const NoteCell& c = pattern.cells[k];
      const int sub = c.param >> 4;
      EXPECT_NE(c.effect, EffectSpeed) << "pattern " << p << " cell " << k;
      EXPECT_NE(c.effect, EffectPositionJump) << "pattern " << p << " cell " << k;
      EXPECT_NE(c.effect, EffectPatternBreak) << "pattern " << p << " cell " << k;
      if (c.effect == EffectExtended) {
        EXPECT_NE(sub, ExtendedPatternDelay) << "pattern " << p << " cell " << k;
        EXPECT_NE(sub, ExtendedPatternLoop) << "pattern " << p << " cell " << k;
      }
    }
  }
}

// Every flash row of every order carries a crash, and no other row does (so orders 2 and
// 22, which have no flash, have no crash either).
TEST(SongModule, CrashesFallExactlyOnTheShowsFlashRows) {
  const Bytes bytes = committedSong();
  SongPtr song = loadSongBytes(bytes);
  ASSERT_TRUE(song);
  int accents = 0;
  for (int order = 0; order < song->songLength; ++order) {
    std::vector<int> rows;
    for (int row = 0; row < 64; ++row)
      for (int ch = 0; ch < song->numChannels; ++ch)
        if (isCrash(cellAt(*song, order, row, ch))) {
          rows.push_back(row);
          break;
        }
    EXPECT_EQ(rows, showSyncRows(order)) << "order " << order;
    accents += static_cast<int>(rows.size());
  }
  EXPECT_EQ(accents, 72);
}

// The music never stops before its end: up to the last order, every eight rows (640 ms)
// strike at least one note, and the last order opens with its final chord.
TEST(SongModule, NoStretchOfSilenceBeforeTheEnd) {
  constexpr int WindowRows = 8;
  const Bytes bytes = committedSong();
  SongPtr song = loadSongBytes(bytes);
  ASSERT_TRUE(song);
  const int last = song->songLength - 1;
  int sinceNote = 0;
  for (int order = 0; order < last; ++order)
    for (int row = 0; row < 64; ++row) {
      bool struck = false;
      for (int ch = 0; ch < song->numChannels; ++ch) {
        const std::uint8_t note = cellAt(*song, order, row, ch).note;
        struck = struck || (note != NoteNone && note != NoteKeyOff);
      }
      sinceNote = struck ? 0 : sinceNote + 1;
      EXPECT_LT(sinceNote, WindowRows) << "order " << order << " row " << row;
    }
  int finalChord = 0;
  for (int ch = 0; ch < song->numChannels; ++ch) finalChord += cellAt(*song, last, 0, ch).note != NoteNone;
  EXPECT_EQ(finalChord, song->numChannels);
}

} // namespace
