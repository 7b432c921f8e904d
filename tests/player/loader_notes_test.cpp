// The optional load notes: names, stored widths and what the loader had to cut.
#include "player/loadnotes.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/support/songfile.h"
#include "tests/support/xmwriter.h"

namespace {

struct Noted {
  std::vector<std::uint8_t> bytes;
  std::unique_ptr<XmLoadNotes> notes = std::make_unique<XmLoadNotes>();
  SongPtr song;
  const char* reason = nullptr;
};

void loadNoted(Noted& noted) {
  installByteFileCallbacks();
  noted.song.reset(createSongWithNotes(&noted.bytes, nullptr, &noted.reason, noted.notes.get()));
}

XmModule namedModule() {
  XmModule module;
  module.name = "Twenty characters!!!";
  module.trackerName = "tracker";
  module.version = 0x0103;
  module.orders = {0};
  module.restartPosition = 5;
  module.addPattern(4);
  XmInstrument ins;
  ins.name = "lead";
  ins.samples = {XmSample::pcm16({1, 2, 3}).loop(1, 1, 9), XmSample::pcm8({4, 5, 6, 7})};
  ins.samples[0].name = "wide";
  ins.samples[1].name = "narrow";
  module.instruments = {ins};
  return module;
}

TEST(LoaderNotes, RecordNamesWidthsAndDeclaredValues) {
  Noted noted;
  noted.bytes = writeXm(namedModule());
  loadNoted(noted);
  ASSERT_NE(noted.song, nullptr);
  const XmLoadNotes& n = *noted.notes;
  EXPECT_STREQ(n.moduleName, "Twenty characters!!!");
  EXPECT_STREQ(n.trackerName, "tracker");
  EXPECT_EQ(n.version, 0x0103);
  EXPECT_EQ(n.fileSize, static_cast<std::int64_t>(noted.bytes.size()));
  EXPECT_FALSE(n.fileEndsEarly);
  EXPECT_EQ(n.patternCount, 1);
  EXPECT_EQ(n.restartPosition, 5);
  EXPECT_EQ(noted.song->restartPosition, 0);
  EXPECT_STREQ(n.instruments[0].name, "lead");
  EXPECT_EQ(n.instruments[0].sampleHeaderSize, 40u);
  const XmSampleNotes& wide = n.instruments[0].samples[0];
  EXPECT_STREQ(wide.name, "wide");
  EXPECT_EQ(wide.fileBits, 16);
  EXPECT_EQ(wide.fileBytes, 6u);
  EXPECT_EQ(wide.fileLoopLength, 18u);
  EXPECT_TRUE(wide.loopClamped);
  EXPECT_FALSE(wide.cutByFileEnd);
  const XmSampleNotes& narrow = n.instruments[0].samples[1];
  EXPECT_STREQ(narrow.name, "narrow");
  EXPECT_EQ(narrow.fileBits, 8);
  EXPECT_FALSE(narrow.loopClamped);
}

TEST(LoaderNotes, TruncatedFileIsNoticed) {
  Noted noted;
  noted.bytes = writeXm(namedModule());
  noted.bytes.resize(noted.bytes.size() - 1);
  loadNoted(noted);
  ASSERT_NE(noted.song, nullptr);
  EXPECT_TRUE(noted.notes->fileEndsEarly);
  EXPECT_TRUE(noted.notes->instruments[0].samples[1].cutByFileEnd);
  EXPECT_EQ(noted.song->instruments[0].samples[1]->length, 3u);
}

TEST(LoaderNotes, RefusedModuleKeepsWhatWasReadBeforeTheRefusal) {
  Noted noted;
  XmModule module = namedModule();
  module.numChannels = 40;
  noted.bytes = writeXm(module);
  loadNoted(noted);
  EXPECT_EQ(noted.song, nullptr);
  EXPECT_STREQ(noted.reason, "the module has more than 32 channels (40)");
  EXPECT_STREQ(noted.notes->moduleName, "Twenty characters!!!");
  EXPECT_EQ(openByteFiles(), 0);
}

} // namespace
