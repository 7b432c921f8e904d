// Broken files: every prefix of a valid module and thousands of seeded corruptions, in each
// of the layouts read (1.04, and the instruments-first 1.03 and 1.02). Each load either
// refuses with a reason or yields a song whose invariants hold; the sanitizer build checks
// that nothing is read or written out of bounds and nothing leaks.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "player/song.h"
#include "tests/support/songfile.h"
#include "tests/support/xmwriter.h"

namespace {

XmModule sampleModule(std::uint16_t version) {
  XmModule module;
  module.version = version;
  module.numChannels = 3;
  module.orders = {0, 1, 0, 2};
  XmPattern& first = module.addPattern(6);
  first.at(0, 0) = {49, 1, 0x40, 0x0F, 0x06};
  first.at(2, 1) = {XmNoteKeyOff, 0, 0, 0, 0};
  first.at(5, 2) = {61, 2, 0, 0x0C, 0x20};
  XmPattern& second = module.addPattern(4);
  second.packing = XmPacking::Plain;
  second.at(1, 1) = {13, 2, 0x10, 0x04, 0x44};
  module.addPattern(2).emptyAsZeroSize = true;
  XmInstrument one =
      XmInstrument::withSample(XmSample::pcm8({0, 20, 40, 20, 0, -20}).loop(1, 1, 3));
  one.volumeEnvelope =
      XmEnvelope::make({{0, 64}, {8, 20}, {16, 0}}, EnvelopeOn | EnvelopeSustain, 1, 0, 2);
  one.fadeout = 300;
  XmInstrument two;
  two.samples = {XmSample::pcm16({100, -100, 2000, -3000}).loop(2, 0, 4), XmSample::pcm8({1, 2}),
                 XmSample::packed8({0, 16, 32, 64, 32, 0, -16, -64, -128}).loop(1, 2, 5)};
  two.sampleForNote[40] = 1;
  module.instruments = {one, XmInstrument{}, two};
  return module;
}

// What every loaded song guarantees to the player.
void expectSoundSong(const Song& song) {
  ASSERT_GE(song.songLength, 1);
  ASSERT_LE(song.songLength, OrderTableSize);
  ASSERT_GE(song.numChannels, 1);
  ASSERT_LE(song.numChannels, SongMaxChannels);
  ASSERT_GE(song.restartPosition, 0);
  ASSERT_LT(song.restartPosition, song.songLength);
  ASSERT_GE(song.defaultBpm, 1);
  ASSERT_LE(song.numInstruments, InstrumentLast);
  ASSERT_EQ(song.tickHandler, &playTick);
  for (int i = 0; i < song.songLength; ++i) ASSERT_LT(song.orderTable[i], song.numPatterns);
  for (int p = 0; p < song.numPatterns; ++p) {
    const Pattern& pattern = song.patterns[p];
    ASSERT_GE(pattern.rows, 1);
    ASSERT_LE(pattern.rows, 256);
    ASSERT_NE(pattern.cells, nullptr);
    for (int c = 0; c < pattern.rows * song.numChannels; ++c) {
      const NoteCell& cell = pattern.cells[c];
      ASSERT_TRUE(cell.note <= NoteLast || cell.note == NoteKeyOff);
      ASSERT_LE(cell.instrument, InstrumentLast);
    }
  }
  for (int i = 0; i < song.numInstruments; ++i) {
    const Instrument& ins = song.instruments[i];
    ASSERT_LE(ins.numSamples, InstrumentSampleSlots);
    ASSERT_LE(ins.numVolumePoints, EnvelopePointCount);
    ASSERT_LE(ins.numPanningPoints, EnvelopePointCount);
    for (int s = ins.numSamples; s < InstrumentSampleSlots; ++s)
      ASSERT_EQ(ins.samples[s], &emptySample);
    for (int s = 0; s < ins.numSamples; ++s) {
      const Sample& sample = *ins.samples[s];
      ASSERT_EQ(sample.bitsPerSample, 16);
      ASSERT_LE(sample.volume, 64);
      ASSERT_TRUE(sample.loopKind == LoopNone || sample.loopKind == LoopForward ||
                  sample.loopKind == LoopPingPong);
      ASSERT_EQ(sample.data == nullptr, sample.length == 0);
      ASSERT_LE(std::uint64_t{sample.loopStart} + sample.loopLength, sample.length);
      if (sample.length > 0) {
        ASSERT_LT(sample.loopStart, sample.length);
        ASSERT_GE(sample.loopLength, 1u);
        // Touch the whole buffer, guard included: the sanitizer checks its size.
        int sum = 0;
        for (std::uint32_t k = 0; k < sample.length + SampleGuardSamples; ++k)
          sum += sample.data[k];
        (void)sum;
      }
    }
  }
  ASSERT_EQ(emptySample.data, nullptr);
  ASSERT_EQ(emptySample.length, 0u);
  ASSERT_EQ(emptySample.loopKind, 0);
}

void loadAndCheck(const std::vector<std::uint8_t>& bytes, int& loaded, int& refused,
                  std::string* refusal = nullptr) {
  const char* reason = nullptr;
  SongPtr song = loadSongBytes(bytes, nullptr, &reason);
  if (refusal) *refusal = reason ? reason : "";
  ASSERT_EQ(openByteFiles(), 0);
  if (song) {
    ++loaded;
    ASSERT_EQ(reason, nullptr);
    expectSoundSong(*song);
  } else {
    ++refused;
    ASSERT_NE(reason, nullptr);
  }
}

class LoaderRobustness : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(LoaderRobustness, TheIntactModuleLoads) {
  const std::vector<std::uint8_t> bytes = writeXm(sampleModule(GetParam()));
  int loaded = 0, refused = 0;
  loadAndCheck(bytes, loaded, refused);
  EXPECT_EQ(loaded, 1);
}

TEST_P(LoaderRobustness, EveryPrefixLoadsOrIsRefusedCleanlyAsCutShort) {
  const std::vector<std::uint8_t> whole = writeXm(sampleModule(GetParam()));
  int loaded = 0, refused = 0;
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    const std::vector<std::uint8_t> prefix(whole.begin(), whole.begin() + size);
    std::string reason;
    loadAndCheck(prefix, loaded, refused, &reason);
    if (HasFatalFailure()) FAIL() << "prefix of " << size << " bytes";
    // A cut file is refused for being cut, never for what the missing bytes read as.
    const std::string cut = "the file is cut short: it ends after " + std::to_string(size) + " bytes, ";
    if (size == 0) {
      ASSERT_EQ(reason, "the file is empty");
    } else if (!reason.empty()) {
      ASSERT_EQ(reason.rfind(cut, 0), 0u) << reason;
    }
  }
  // Prefixes that end inside the fixed header are refused; from the part after it on they load.
  EXPECT_GT(refused, 60);
  EXPECT_GT(loaded, 100);
}

TEST_P(LoaderRobustness, SeededCorruptionsLoadOrAreRefusedCleanly) {
  const std::vector<std::uint8_t> whole = writeXm(sampleModule(GetParam()));
  std::mt19937 random(20021);
  std::uniform_int_distribution<std::size_t> position(0, whole.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255), edits(1, 8), kind(0, 3);
  int loaded = 0, refused = 0;
  for (int round = 0; round < 4000; ++round) {
    std::vector<std::uint8_t> bytes = whole;
    for (int e = edits(random); e > 0; --e) {
      const std::size_t at = position(random);
      switch (kind(random)) {
      case 0: bytes[at] = static_cast<std::uint8_t>(byte(random)); break;
      case 1: bytes[at] = 0xFF; break;
      case 2: bytes[at] = 0; break;
      default: bytes[at] ^= static_cast<std::uint8_t>(1u << (byte(random) & 7)); break;
      }
    }
    if (kind(random) == 0) bytes.resize(position(random)); // sometimes truncated as well
    loadAndCheck(bytes, loaded, refused);
    if (HasFatalFailure()) FAIL() << "round " << round;
  }
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, LoaderRobustness, ::testing::Values(0x0104, 0x0103, 0x0102),
                         [](const ::testing::TestParamInfo<std::uint16_t>& info) {
                           return "Version" + std::to_string(info.param >> 8) + "_0" +
                                  std::to_string(info.param & 0xFF);
                         });

} // namespace
