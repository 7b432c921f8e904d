// Loading the module header, the order table and the refusals of broken headers.
#include <gtest/gtest.h>

#include <string>

#include "player/modulefile.h"
#include "player/song.h"
#include "tests/support/songfile.h"
#include "tests/support/xmwriter.h"

namespace {

XmModule smallModule() {
  XmModule module;
  module.orders = {0, 1, 0};
  module.addPattern(16);
  module.addPattern(32);
  module.instruments.push_back(XmInstrument::withSample(XmSample::pcm8({0, 10, 20})));
  return module;
}

SongPtr load(const XmModule& module, const char** reason = nullptr) {
  static std::vector<std::uint8_t> bytes;
  bytes = writeXm(module);
  return loadSongBytes(bytes, nullptr, reason);
}

// Loads the module and expects a refusal with a reason; the file is closed either way.
std::string refusalOf(const XmModule& module) {
  const char* reason = nullptr;
  SongPtr song = load(module, &reason);
  EXPECT_EQ(song, nullptr);
  EXPECT_EQ(openByteFiles(), 0);
  return reason ? reason : "";
}

TEST(LoaderHeader, StoresTheHeaderFields) {
  XmModule module = smallModule();
  module.restartPosition = 2;
  module.numChannels = 6;
  module.flags = 0;
  module.defaultSpeed = 4;
  module.defaultBpm = 140;
  module.patterns.clear();
  module.addPattern(16);
  module.addPattern(32);
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->songLength, 3);
  EXPECT_EQ(song->restartPosition, 2);
  EXPECT_EQ(song->numChannels, 6);
  EXPECT_EQ(song->numInstruments, 1);
  EXPECT_EQ(song->flags, 0);
  EXPECT_EQ(song->defaultSpeed, 4);
  EXPECT_EQ(song->defaultBpm, 140);
  EXPECT_EQ(song->orderTable[0], 0);
  EXPECT_EQ(song->orderTable[1], 1);
  EXPECT_EQ(song->orderTable[2], 0);
  EXPECT_EQ(song->initialGlobalVolume, 64);
  EXPECT_EQ(song->tickHandler, &playTick);
  EXPECT_EQ(song->sampleDataCallback, nullptr);
  EXPECT_EQ(song->usedPatterns, 2);
  EXPECT_EQ(song->numPatterns, 2);
  EXPECT_EQ(song->patterns[0].rows, 16);
  EXPECT_EQ(song->patterns[1].rows, 32);
  EXPECT_EQ(openByteFiles(), 0);
}

TEST(LoaderHeader, MissingPatternsInTheOrderTableBecomeEmpty64RowPatterns) {
  XmModule module = smallModule();
  module.orders = {0, 4, 1};
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->usedPatterns, 5);
  EXPECT_EQ(song->numPatterns, 5);
  for (int p = 2; p < 5; ++p) {
    ASSERT_EQ(song->patterns[p].rows, 64);
    for (int c = 0; c < 64 * song->numChannels; ++c) {
      const NoteCell& cell = song->patterns[p].cells[c];
      ASSERT_EQ(cell.note | cell.instrument | cell.volume | cell.effect | cell.param, 0);
    }
  }
}

TEST(LoaderHeader, OrderEntriesPastTheSongLengthDoNotCount) {
  XmModule module = smallModule();
  module.orders = {1, 0, 9, 200};
  module.songLengthField = 2;
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->usedPatterns, 2);
  EXPECT_EQ(song->numPatterns, 2);
  EXPECT_EQ(song->orderTable[3], 200); // still stored
}

TEST(LoaderHeader, StoredPatternsBeyondTheOrdersAreKept) {
  XmModule module = smallModule();
  module.orders = {0};
  module.addPattern(8);
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->usedPatterns, 1);
  EXPECT_EQ(song->numPatterns, 3);
  EXPECT_EQ(song->patterns[2].rows, 8);
}

TEST(LoaderHeader, LargerHeaderSizeIsHonoured) {
  XmModule module = smallModule();
  module.headerSize = 300; // zero-padded after the order table
  module.patterns[1].at(3, 2) = {12, 1, 0x20, 0x0F, 3};
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->patterns[1].rows, 32);
  EXPECT_EQ(song->patterns[1].cells[3 * 4 + 2].note, 12);
  EXPECT_EQ(song->patterns[1].cells[3 * 4 + 2].param, 3);
}

TEST(LoaderHeader, RestartPositionOutsideTheSongBecomesZero) {
  XmModule module = smallModule();
  module.restartPosition = 3; // song length 3
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->restartPosition, 0);
}

TEST(LoaderRefusal, WrongSignatureOrUnopenableFile) {
  XmModule module = smallModule();
  module.signature = "Extended Module:_";
  EXPECT_NE(refusalOf(module).find("signature"), std::string::npos);

  installByteFileCallbacks();
  const char* reason = nullptr;
  EXPECT_EQ(createSongWithReason(nullptr, nullptr, &reason), nullptr); // open fails
  EXPECT_NE(reason, nullptr);
  EXPECT_EQ(createSong(nullptr, nullptr), nullptr);
  EXPECT_EQ(openByteFiles(), 0);

  installFileCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
  const std::vector<std::uint8_t> bytes = writeXm(smallModule());
  EXPECT_EQ(createSongWithReason(&bytes, nullptr, &reason), nullptr);
  EXPECT_STREQ(reason, "the file operations are not installed");
}

TEST(LoaderRefusal, SongLengthOutsideOneTo256) {
  XmModule module = smallModule();
  module.songLengthField = 0;
  EXPECT_NE(refusalOf(module).find("song length"), std::string::npos);
  module.songLengthField = 257;
  EXPECT_NE(refusalOf(module).find("song length"), std::string::npos);
  module.songLengthField = 256;
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->songLength, 256);
  EXPECT_EQ(song->usedPatterns, 2); // entries past the written 3 are 0
}

TEST(LoaderRefusal, ChannelCountOutsideOneTo32) {
  XmModule module = smallModule();
  module.numChannels = 0;
  EXPECT_NE(refusalOf(module).find("channels"), std::string::npos);
  module.numChannels = 33;
  EXPECT_NE(refusalOf(module).find("32 channels"), std::string::npos);
  module.numChannels = 32;
  module.patterns.clear();
  module.addPattern(4).at(3, 31) = {1, 1, 0, 0, 0};
  module.orders = {0};
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->numChannels, 32);
  EXPECT_EQ(song->patterns[0].cells[3 * 32 + 31].note, 1);
}

TEST(LoaderRefusal, TooManyInstrumentsOrPatterns) {
  XmModule module = smallModule();
  module.instrumentCountField = 129;
  EXPECT_NE(refusalOf(module).find("128 instruments"), std::string::npos);
  module.instrumentCountField.reset();
  module.patternCountField = 257;
  EXPECT_NE(refusalOf(module).find("256 patterns"), std::string::npos);
}

TEST(LoaderRefusal, DefaultBpmZeroOrNotASigned16BitValue) {
  XmModule module = smallModule();
  module.defaultBpm = 0;
  EXPECT_NE(refusalOf(module).find("BPM"), std::string::npos);
  module.defaultBpm = 0x8000;
  EXPECT_NE(refusalOf(module).find("BPM"), std::string::npos);
  module.defaultBpm = 1;
  EXPECT_NE(load(module), nullptr);
}

TEST(LoaderRefusal, MoreThan16SamplesStopsTheLoad) {
  XmModule module = smallModule();
  module.instruments.push_back(XmInstrument::withSample(XmSample::pcm8({1})));
  module.instruments[1].sampleCountField = 17;
  EXPECT_NE(refusalOf(module).find("16 samples"), std::string::npos);
}

TEST(LoaderRefusal, AcceptsTheLimitsThemselves) {
  XmModule module = smallModule();
  module.instruments.clear();
  for (int i = 0; i < 128; ++i) module.instruments.push_back(XmInstrument{});
  XmInstrument full;
  for (int s = 0; s < 16; ++s)
    full.samples.push_back(XmSample::pcm8({static_cast<std::int16_t>(s)}));
  module.instruments[127] = full;
  module.patterns[0].cells.resize(256 * 4);
  SongPtr song = load(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->numInstruments, 128);
  EXPECT_EQ(song->instruments[127].numSamples, 16);
  EXPECT_EQ(song->instruments[127].samples[15]->data[0], 15 * 256);
  EXPECT_EQ(song->patterns[0].rows, 256);
}

} // namespace
