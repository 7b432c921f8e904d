// Refusals name their true cause: a file cut short is refused (or noted) for being cut, with
// where it ends, not for what the missing bytes read as; header limits name the value.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "player/loader.h"
#include "player/loadnotes.h"
#include "tests/support/songfile.h"
#include "tests/support/xmwriter.h"

namespace {

XmModule twoInstruments(std::uint16_t version) {
  XmModule module;
  module.version = version;
  module.orders = {0, 1};
  module.addPattern(8).at(0, 0) = {49, 1, 0, 0, 0};
  module.addPattern(4);
  XmInstrument second;
  second.samples = {XmSample::pcm8({1, 2, 3}), XmSample::pcm16({100, 200})};
  module.instruments = {XmInstrument::withSample(XmSample::pcm8({5, 6})), second};
  return module;
}

struct Outcome {
  std::vector<std::uint8_t> bytes;
  std::unique_ptr<XmLoadNotes> notes = std::make_unique<XmLoadNotes>();
  SongPtr song;
  const char* reason = nullptr;
  std::string where() const {
    char text[XmPlaceTextBytes];
    describeFileEnd(notes->fileEnd, notes->fileEndInsidePart, text, sizeof text);
    return text;
  }
};

std::unique_ptr<Outcome> loadCut(const XmModule& module, std::size_t size) {
  auto outcome = std::make_unique<Outcome>();
  outcome->bytes = writeXm(module);
  outcome->bytes.resize(size);
  installByteFileCallbacks();
  outcome->song.reset(
      createSongWithNotes(&outcome->bytes, nullptr, &outcome->reason, outcome->notes.get()));
  return outcome;
}

std::string reasonOf(const Outcome& outcome) { return outcome.reason ? outcome.reason : ""; }

TEST(LoaderReasons, AFileCutInsideTheHeaderIsRefusedSayingWhere) {
  const XmModule module = twoInstruments(0x0104);
  EXPECT_EQ(reasonOf(*loadCut(module, 0)), "the file is empty");
  EXPECT_EQ(reasonOf(*loadCut(module, 9)),
            "the file is cut short: it ends after 9 bytes, inside the signature");
  EXPECT_EQ(reasonOf(*loadCut(module, 17)),
            "the file is cut short: it ends after 17 bytes, before the module header");
  // The low byte of the version alone would read as the unknown version 0.04.
  EXPECT_EQ(reasonOf(*loadCut(module, 59)),
            "the file is cut short: it ends after 59 bytes, inside the module header");
  // A song length read as 0 past the end is not the reason.
  EXPECT_EQ(reasonOf(*loadCut(module, 64)),
            "the file is cut short: it ends after 64 bytes, inside the module header");
  std::vector<std::uint8_t> notAModule = writeXm(module);
  notAModule[3] = 'X';
  notAModule.resize(9);
  installByteFileCallbacks();
  const char* reason = nullptr;
  EXPECT_EQ(loadSongBytes(notAModule, nullptr, &reason), nullptr);
  EXPECT_STREQ(reason, "not an XM module (no \"Extended Module: \" signature)");
}

TEST(LoaderReasons, AFileCutLaterLoadsAndTheNotesSayWhereItEnds) {
  for (std::uint16_t version : {0x0104, 0x0103, 0x0102}) {
    SCOPED_TRACE(version);
    const XmModule module = twoInstruments(version);
    XmLayout layout;
    const std::vector<std::uint8_t> whole = writeXm(module, &layout);
    auto cut = loadCut(module, layout.patternStarts[1] + 3);
    ASSERT_NE(cut->song, nullptr) << cut->reason;
    EXPECT_TRUE(cut->notes->fileEndsEarly);
    EXPECT_EQ(cut->where(), "inside the header of pattern 1");
    cut = loadCut(module, layout.instrumentStarts[1]);
    ASSERT_NE(cut->song, nullptr) << cut->reason;
    EXPECT_EQ(cut->where(), "before the header of instrument 2");
    // The second sample header of instrument 2 starts 40 bytes before the end of its headers.
    const std::size_t sampleHeaders = layout.instrumentStarts[1] + 263;
    cut = loadCut(module, sampleHeaders + 40 + 5);
    ASSERT_NE(cut->song, nullptr) << cut->reason;
    EXPECT_EQ(cut->where(), "inside the header of sample 1 of instrument 2");
    cut = loadCut(module, layout.sampleDataStarts[1][1] + 1);
    ASSERT_NE(cut->song, nullptr) << cut->reason;
    EXPECT_EQ(cut->where(), "inside the data of sample 1 of instrument 2");
    EXPECT_EQ(cut->song->instruments[1].samples[1]->length, 0u); // half a 16-bit value
    EXPECT_EQ(cut->song->instruments[1].samples[0]->length, 3u);
    cut = loadCut(module, whole.size());
    ASSERT_NE(cut->song, nullptr) << cut->reason;
    EXPECT_FALSE(cut->notes->fileEndsEarly);
  }
}

TEST(LoaderReasons, HeaderLimitsNameTheValueFound) {
  XmModule module = twoInstruments(0x0104);
  module.songLengthField = 300;
  auto refused = loadCut(module, writeXm(module).size());
  EXPECT_EQ(reasonOf(*refused), "the song length is 300, above 256");
  module.songLengthField.reset();
  module.patternCountField = 999;
  refused = loadCut(module, writeXm(module).size());
  EXPECT_EQ(reasonOf(*refused), "the module has more than 256 patterns (999)");
  module.patternCountField.reset();
  module.defaultBpm = 40000;
  refused = loadCut(module, writeXm(module).size());
  EXPECT_EQ(reasonOf(*refused), "the default BPM is 40000, above 32767");
  module.defaultBpm = 125;
  module.instruments[1].sampleCountField = 20;
  refused = loadCut(module, writeXm(module).size());
  EXPECT_EQ(reasonOf(*refused), "instrument 2 has more than 16 samples (20)");
}

// The refusals' own formatter writes what the C runtime's would, cut where it cuts.
TEST(RefusalText, FormatsAsPrintfDoes) {
  char ours[64], theirs[64];
  auto same = [&] { return std::string(ours) == std::string(theirs); };
  for (int value : {0, 7, -7, 255, 32767, -2147483647 - 1, 2147483647}) {
    formatText(ours, sizeof ours, "pattern %d has (%u) %X.%02X", value, unsigned(value), unsigned(value) & 0xFF, 5u);
    std::snprintf(theirs, sizeof theirs, "pattern %d has (%u) %X.%02X", value, unsigned(value), unsigned(value) & 0xFF, 5u);
    EXPECT_TRUE(same()) << ours << " | " << theirs;
  }
  for (long long value : {0LL, 1234567890123LL, -9223372036854775807LL - 1}) {
    formatText(ours, sizeof ours, "ends after %lld bytes, %s: 100%%", value, "inside the header");
    std::snprintf(theirs, sizeof theirs, "ends after %lld bytes, %s: 100%%", value, "inside the header");
    EXPECT_TRUE(same()) << ours << " | " << theirs;
  }
  for (std::size_t size : {1, 2, 9, 10, 11}) {
    formatText(ours, size, "version %X.%02X of %s", 1u, 4u, "xm");
    std::snprintf(theirs, size, "version %X.%02X of %s", 1u, 4u, "xm");
    EXPECT_STREQ(ours, theirs) << size;
  }
}

} // namespace
