// 4-bit packed samples (reserved byte 0xAD): a table of 16 signed deltas, then two table
// indices a byte, low nibble first, each giving the next absolute 8-bit value.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "player/loadnotes.h"
#include "tests/support/songfile.h"
#include "tests/support/xmwriter.h"

namespace {

constexpr std::uint8_t PackedMark = 0xAD;

struct Loaded {
  std::vector<std::uint8_t> bytes;
  std::unique_ptr<XmLoadNotes> notes = std::make_unique<XmLoadNotes>();
  SongPtr song;
  const char* reason = nullptr;
};

std::unique_ptr<Loaded> load(const XmModule& module, SampleDataCallback callback = nullptr, std::size_t cutTo = 0) {
  auto loaded = std::make_unique<Loaded>();
  loaded->bytes = writeXm(module);
  if (cutTo) loaded->bytes.resize(cutTo);
  installByteFileCallbacks();
  loaded->song.reset(createSongWithNotes(&loaded->bytes, callback, &loaded->reason, loaded->notes.get()));
  return loaded;
}

// Hand-made packed bytes for `length` values: the default table, then `indices`.
XmSample handPacked(std::uint32_t length, std::vector<std::uint8_t> indices) {
  XmSample s;
  std::vector<std::uint8_t> raw(XmDefaultPackTable.begin(), XmDefaultPackTable.end());
  raw.insert(raw.end(), indices.begin(), indices.end());
  s.rawData = raw;
  s.lengthField = length;
  s.reservedField = PackedMark;
  return s;
}

std::vector<int> values(const Sample& s) {
  std::vector<int> v;
  for (std::uint32_t k = 0; k < s.length; ++k) v.push_back(s.data[k]);
  return v;
}

TEST(LoaderPacked, IndicesLowNibbleFirstGiveAbsoluteValuesThatWrap) {
  // Table: 0 1 2 4 8 16 32 64 -128 -64 -32 -16 -8 -4 -2 -1.
  // 0x21: +1 -> 1, +2 -> 3; 0xF7: +64 -> 67, -1 -> 66; 0x88: -128 -> -62, -128 -> 66 (wraps).
  auto loaded = load(xmModuleWith({XmInstrument::withSample(handPacked(6, {0x21, 0xF7, 0x88}))}));
  ASSERT_NE(loaded->song, nullptr) << loaded->reason;
  const Sample& s = *loaded->song->instruments[0].samples[0];
  EXPECT_EQ(values(s), (std::vector<int>{256, 768, 67 * 256, 66 * 256, -62 * 256, 66 * 256}));
  EXPECT_EQ(s.data[6], 0); // no loop: the guard stays 0
  EXPECT_TRUE(loaded->notes->instruments[0].samples[0].packed);
  EXPECT_EQ(loaded->notes->instruments[0].samples[0].storedBytes, 19u);
}

TEST(LoaderPacked, AnOddLengthLeavesTheLastHighNibbleUnusedAndTheNextDataFollows) {
  XmInstrument ins;
  ins.samples = {handPacked(3, {0x21, 0x57}), XmSample::pcm8({5, -5})};
  auto loaded = load(xmModuleWith({ins, XmInstrument::withSample(XmSample::pcm16({1000, -2000}))}));
  ASSERT_NE(loaded->song, nullptr) << loaded->reason;
  const Instrument* instruments = loaded->song->instruments;
  EXPECT_EQ(values(*instruments[0].samples[0]), (std::vector<int>{256, 768, 67 * 256})); // 3 + 64
  EXPECT_EQ(values(*instruments[0].samples[1]), (std::vector<int>{5 * 256, -5 * 256}));
  EXPECT_EQ(values(*instruments[1].samples[0]), (std::vector<int>{1000, -2000}));
  EXPECT_FALSE(loaded->notes->fileEndsEarly);
}

TEST(LoaderPacked, ManyPackedSamplesBeforeOthersAllLoadInEveryLayout) {
  // Read as plain deltas, a packed sample's size would misplace every instrument after it.
  std::vector<std::int16_t> wave;
  for (int k = 0; k < 777; ++k) wave.push_back(static_cast<std::int16_t>((k * 7) % 200 - 100));
  XmSample packed = XmSample::packed8(wave);
  packed.loop(1, 100, 600);
  const std::vector<std::int16_t> reached = packedValues(packed);
  std::vector<XmInstrument> instruments(4, XmInstrument::withSample(packed));
  instruments.push_back(XmInstrument::withSample(XmSample::pcm8({1, 2, 3})));
  for (std::uint16_t version : {0x0104, 0x0103, 0x0102}) {
    XmModule module = xmModuleWith(instruments);
    module.version = version;
    auto loaded = load(module);
    ASSERT_NE(loaded->song, nullptr) << loaded->reason;
    for (int i = 0; i < 4; ++i) {
      const Sample& s = *loaded->song->instruments[i].samples[0];
      ASSERT_EQ(s.length, 777u);
      for (std::uint32_t k = 0; k < s.length; ++k) ASSERT_EQ(s.data[k], reached[k] * 256) << k;
      EXPECT_EQ(s.data[700], s.data[100]); // forward loop guard
    }
    EXPECT_EQ(values(*loaded->song->instruments[4].samples[0]), (std::vector<int>{256, 512, 768}));
  }
}

TEST(LoaderPacked, AFileCutInsideThePackedDataKeepsTheWholeSamplesPresent) {
  XmModule module = xmModuleWith({XmInstrument::withSample(XmSample::packed8(std::vector<std::int16_t>(100, 1)))});
  XmLayout layout;
  writeXm(module, &layout);
  const std::size_t dataStart = layout.sampleDataStarts[0][0];
  auto loaded = load(module, nullptr, dataStart + 16 + 10); // table and 10 index bytes
  ASSERT_NE(loaded->song, nullptr) << loaded->reason;
  const Sample& s = *loaded->song->instruments[0].samples[0];
  EXPECT_EQ(s.length, 20u);
  EXPECT_EQ(s.data[19], 256);
  EXPECT_TRUE(loaded->notes->instruments[0].samples[0].cutByFileEnd);
  loaded = load(module, nullptr, dataStart + 15); // inside the table: nothing to play
  ASSERT_NE(loaded->song, nullptr) << loaded->reason;
  EXPECT_EQ(loaded->song->instruments[0].samples[0]->length, 0u);
}

TEST(LoaderPacked, TheMarkOnA16BitSampleIsNotPacking) {
  XmSample wide = XmSample::pcm16({300, -300, 7});
  wide.reservedField = PackedMark;
  auto loaded = load(xmModuleWith({XmInstrument::withSample(wide), XmInstrument::withSample(XmSample::pcm8({9}))}));
  ASSERT_NE(loaded->song, nullptr) << loaded->reason;
  EXPECT_EQ(values(*loaded->song->instruments[0].samples[0]), (std::vector<int>{300, -300, 7}));
  EXPECT_FALSE(loaded->notes->instruments[0].samples[0].packed);
  EXPECT_EQ(values(*loaded->song->instruments[1].samples[0]), (std::vector<int>{9 * 256}));
}

std::vector<std::int32_t> suppliedCounts;

void supplyOnes(void* destination, std::int32_t byteCount, std::int32_t bits, std::int32_t, std::int32_t) {
  suppliedCounts.push_back(byteCount);
  if (bits == 8) std::fill_n(static_cast<std::int8_t*>(destination), byteCount, std::int8_t{1});
}

TEST(LoaderPacked, TheCallbackSuppliesPlainValuesAndThePackedBytesAreSkipped) {
  suppliedCounts.clear();
  auto loaded = load(xmModuleWith({XmInstrument::withSample(XmSample::packed8(std::vector<std::int16_t>(9, 50))),
                                 XmInstrument::withSample(XmSample::pcm8({1, 2}))}),
                     supplyOnes);
  ASSERT_NE(loaded->song, nullptr) << loaded->reason;
  EXPECT_EQ(suppliedCounts, (std::vector<std::int32_t>{9, 2})); // one plain byte a value
  EXPECT_EQ(values(*loaded->song->instruments[0].samples[0]), std::vector<int>(9, 256));
  EXPECT_EQ(loaded->song->instruments[1].samples[0]->length, 2u);
}

} // namespace
