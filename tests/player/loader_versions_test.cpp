// The older XM layouts: files of versions 1.02 and 1.03 (instruments first, sample data
// last; 1.02 with 8-byte pattern headers) load to the same song as the 1.04 file of the same
// music, and an unknown version is refused by name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "player/render.h"
#include "tests/support/playerkit.h"

namespace {

constexpr std::uint16_t Version102 = 0x0102, Version103 = 0x0103, Version104 = 0x0104;

// Patterns of 1, 64 and 256 rows, an instrument without samples between two with several
// (8-bit looped, 16-bit ping-pong, 4-bit packed), envelopes: every part the layouts order.
XmModule layoutSong(std::uint16_t version) {
  XmModule module;
  module.version = version;
  module.orders = {1, 0, 2, 1};
  module.defaultSpeed = 3;
  module.addPattern(64);
  module.addPattern(1).at(0, 3) = {xmNote(7, 4), 3, 0x30, 0, 0};
  XmPattern& chords = module.patterns[0];
  for (int row = 0; row < 64; row += 4)
    for (int ch = 0; ch < 4; ++ch)
      chords.at(row, ch) = {xmNote((row / 4 + 3 * ch) % 12, 3 + ch % 2), static_cast<std::uint8_t>(ch % 2 ? 3 : 1),
                            0, static_cast<std::uint8_t>(ch == 2 ? 0x04 : 0), 0x46};
  XmPattern& longOne = module.addPattern(256);
  longOne.at(0, 0) = {xmNote(0, 5), 1, 0, 0, 0};
  longOne.at(255, 1) = {xmNote(4, 4), 3, 0, 0x0D, 0};
  XmInstrument first;
  first.samples = {sawSample(3000).loop(1, 500, 2000), XmSample::pcm16({0, 9000, -9000, 4000, -20000, 100}).loop(2, 1, 4)};
  first.sampleForNote.fill(0);
  for (int n = 48; n < 96; ++n) first.sampleForNote[n] = 1;
  first.volumeEnvelope = XmEnvelope::make({{0, 64}, {20, 30}, {60, 0}}, EnvelopeOn | EnvelopeSustain, 1);
  first.fadeout = 400;
  XmInstrument packed = XmInstrument::withSample(XmSample::packed8(sawSample(1001).values).loop(1, 0, 1001));
  packed.samples[0].panning = 40;
  module.instruments = {first, XmInstrument{}, packed};
  return module;
}

void expectSameSample(const Sample& a, const Sample& b) {
  ASSERT_EQ(a.length, b.length);
  EXPECT_EQ(a.loopStart, b.loopStart);
  EXPECT_EQ(a.loopLength, b.loopLength);
  EXPECT_EQ(a.loopKind, b.loopKind);
  EXPECT_EQ(a.volume, b.volume);
  EXPECT_EQ(a.finetune, b.finetune);
  EXPECT_EQ(a.panning, b.panning);
  EXPECT_EQ(a.relativeNote, b.relativeNote);
  ASSERT_EQ(a.data == nullptr, b.data == nullptr);
  if (a.data) {
    EXPECT_EQ(std::memcmp(a.data, b.data, (a.length + SampleGuardSamples) * sizeof(std::int16_t)), 0);
  }
}

// Everything the loader builds, field by field (sample pointers by what they point at).
void expectSameSong(const Song& a, const Song& b) {
  EXPECT_EQ(a.songLength, b.songLength);
  EXPECT_EQ(a.restartPosition, b.restartPosition);
  EXPECT_EQ(a.numChannels, b.numChannels);
  EXPECT_EQ(a.flags, b.flags);
  EXPECT_EQ(a.defaultSpeed, b.defaultSpeed);
  EXPECT_EQ(a.defaultBpm, b.defaultBpm);
  EXPECT_EQ(std::memcmp(a.orderTable, b.orderTable, sizeof a.orderTable), 0);
  ASSERT_EQ(a.numPatterns, b.numPatterns);
  for (int p = 0; p < a.numPatterns; ++p) {
    ASSERT_EQ(a.patterns[p].rows, b.patterns[p].rows) << "pattern " << p;
    EXPECT_EQ(std::memcmp(a.patterns[p].cells, b.patterns[p].cells, sizeof(NoteCell) * a.patterns[p].rows * a.numChannels), 0);
  }
  ASSERT_EQ(a.numInstruments, b.numInstruments);
  for (int i = 0; i < a.numInstruments; ++i) {
    Instrument x = a.instruments[i], y = b.instruments[i];
    ASSERT_EQ(x.numSamples, y.numSamples) << "instrument " << i;
    for (int s = 0; s < x.numSamples; ++s) expectSameSample(*x.samples[s], *y.samples[s]);
    std::memset(x.samples, 0, sizeof x.samples);
    std::memset(y.samples, 0, sizeof y.samples);
    EXPECT_EQ(std::memcmp(&x, &y, sizeof x), 0) << "instrument " << i;
  }
}

std::vector<std::int16_t> render(Song* song, int seconds) {
  std::vector<std::int16_t> wave(2 * static_cast<std::size_t>(seconds) * OfflineRate);
  EXPECT_TRUE(renderSong(song, wave.data(), static_cast<std::int64_t>(wave.size() / 2)));
  return wave;
}

TEST(LoaderVersions, OlderLayoutsLoadTheSameSongAndRenderTheSameAudio) {
  SongPtr current = loadModule(layoutSong(Version104));
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(current->patterns[2].rows, 256);
  EXPECT_EQ(current->patterns[1].rows, 1);
  EXPECT_EQ(current->instruments[2].samples[0]->data[1000], (1000 % 256 - 128) * 256);
  const std::vector<std::int16_t> heard = render(current.get(), 8);
  ASSERT_GT(std::count_if(heard.begin(), heard.end(), [](std::int16_t v) { return v != 0; }), OfflineRate);
  for (std::uint16_t version : {Version103, Version102}) {
    SCOPED_TRACE(version);
    SongPtr older = loadModule(layoutSong(version));
    ASSERT_NE(older, nullptr);
    expectSameSong(*current, *older);
    EXPECT_TRUE(render(older.get(), 8) == heard);
  }
}

TEST(LoaderVersions, TheWrittenLayoutsDifferAsTheVersionsSay) {
  XmLayout layout;
  writeXm(layoutSong(Version104), &layout);
  EXPECT_LT(layout.patternsStart, layout.instrumentStarts[0]);
  writeXm(layoutSong(Version103), &layout);
  EXPECT_GT(layout.patternsStart, layout.instrumentStarts[2]);
  EXPECT_GT(layout.sampleDataStarts[0][0], layout.patternStarts.back());
  const std::size_t headers103 = layout.patternStarts[1] - layout.patternStarts[0];
  writeXm(layoutSong(Version102), &layout);
  EXPECT_EQ(layout.patternStarts[1] - layout.patternStarts[0], headers103 - 1); // 8-byte header
}

TEST(LoaderVersions, ShortPatternHeadersHoldRowsMinusOne) {
  XmModule module = layoutSong(Version102);
  module.patterns[1].rowsField = 0; // one row
  module.patterns[2].rowsField = 255; // 256 rows
  SongPtr song = loadModule(module);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->patterns[1].rows, 1);
  EXPECT_EQ(song->patterns[2].rows, 256);
  EXPECT_EQ(song->patterns[2].cells[255 * 4 + 1].effect, 0x0D);
}

TEST(LoaderVersions, AnUnknownVersionIsRefusedByName) {
  for (auto [version, name] : {std::pair<std::uint16_t, const char*>{0x0101, "1.01"}, {0x0105, "1.05"}, {0x0000, "0.00"}, {0x0210, "2.10"}}) {
    XmModule module = layoutSong(Version104);
    module.version = version;
    const std::vector<std::uint8_t> bytes = writeXm(module);
    const char* reason = nullptr;
    EXPECT_EQ(loadSongBytes(bytes, nullptr, &reason), nullptr);
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(std::string(reason), std::string("the XM format version is ") + name +
                                       "; the versions read are 1.02, 1.03 and 1.04");
  }
}

} // namespace
