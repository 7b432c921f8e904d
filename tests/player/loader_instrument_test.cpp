// Instruments, sample headers and sample data: envelopes, loop kinds and clamps, widening,
// delta decoding, loop guards, odd header sizes, the sample-data callback.
#include <gtest/gtest.h>

#include <vector>

#include "player/song.h"
#include "tests/support/songfile.h"
#include "tests/support/xmwriter.h"

namespace {

struct Loaded {
  std::vector<std::uint8_t> bytes;
  SongPtr song;
};

Loaded load(const XmModule& module, SampleDataCallback callback = nullptr) {
  Loaded loaded{writeXm(module), nullptr};
  loaded.song = loadSongBytes(loaded.bytes, callback);
  return loaded;
}

Loaded loadOne(XmSample sample) {
  return load(xmModuleWith({XmInstrument::withSample(std::move(sample))}));
}

const Sample& firstSample(const Loaded& loaded) { return *loaded.song->instruments[0].samples[0]; }

TEST(LoaderInstruments, EnvelopesVibratoAndDoubledFadeout) {
  XmInstrument ins = XmInstrument::withSample(XmSample::pcm8({1}));
  ins.volumeEnvelope =
      XmEnvelope::make({{0, 64}, {10, 32}, {30, 0}}, EnvelopeOn | EnvelopeSustain, 1, 0, 2);
  ins.panningEnvelope = XmEnvelope::make({{0, 32}, {5, 0}}, EnvelopeOn | EnvelopeLoop, 0, 0, 1);
  ins.vibratoType = 2, ins.vibratoSweep = 3, ins.vibratoDepth = 4, ins.vibratoRate = 5;
  ins.fadeout = 1000;
  ins.sampleForNote[0] = 0;
  ins.sampleForNote[95] = 9;
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& i = loaded.song->instruments[0];
  EXPECT_EQ(i.numVolumePoints, 3);
  EXPECT_EQ(i.volumeEnvelope[1].x, 10);
  EXPECT_EQ(i.volumeEnvelope[1].y, 32);
  EXPECT_EQ(i.volumeEnvelope[2].x, 30);
  EXPECT_EQ(i.volumeSustainPoint, 1);
  EXPECT_EQ(i.volumeLoopEnd, 2);
  EXPECT_EQ(i.volumeType, EnvelopeOn | EnvelopeSustain);
  EXPECT_EQ(i.numPanningPoints, 2);
  EXPECT_EQ(i.panningEnvelope[0].y, 32);
  EXPECT_EQ(i.panningLoopEnd, 1);
  EXPECT_EQ(i.panningType, EnvelopeOn | EnvelopeLoop);
  EXPECT_EQ(i.vibratoType, 2);
  EXPECT_EQ(i.vibratoSweep, 3);
  EXPECT_EQ(i.vibratoDepth, 4);
  EXPECT_EQ(i.vibratoRate, 5);
  EXPECT_EQ(i.volumeFadeout, 2000);
  EXPECT_EQ(i.sampleForNote[95], 9);
}

TEST(LoaderInstruments, EnvelopeWithFewerThanTwoPointsIsOff) {
  XmInstrument ins = XmInstrument::withSample(XmSample::pcm8({1}));
  ins.volumeEnvelope =
      XmEnvelope::make({{0, 64}}, EnvelopeOn | EnvelopeSustain | EnvelopeLoop, 0, 0, 0);
  ins.panningEnvelope = XmEnvelope::make({}, EnvelopeOn, 0, 0, 0);
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  EXPECT_EQ(loaded.song->instruments[0].volumeType, 0);
  EXPECT_EQ(loaded.song->instruments[0].panningType, 0);
}

TEST(LoaderInstruments, EnvelopeCountsAndLoopStartStayWithinTheStoredPoints) {
  XmInstrument ins = XmInstrument::withSample(XmSample::pcm8({1}));
  ins.volumeEnvelope =
      XmEnvelope::make({{0, 64}, {4, 0}, {8, 64}}, EnvelopeOn | EnvelopeLoop, 0, 200, 1);
  ins.volumeEnvelope.pointCountField = 40;
  ins.panningEnvelope = XmEnvelope::make({{0, 1}, {2, 3}}, EnvelopeOn | EnvelopeLoop, 0, 7, 1);
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& i = loaded.song->instruments[0];
  EXPECT_EQ(i.numVolumePoints, EnvelopePointCount);
  EXPECT_EQ(i.volumeLoopStart, EnvelopePointCount - 1);
  EXPECT_EQ(i.numPanningPoints, 2);
  EXPECT_EQ(i.panningLoopStart, 1);
}

TEST(LoaderInstruments, FadeoutBeyond16BitsWhenDoubledSaturates) {
  XmInstrument ins = XmInstrument::withSample(XmSample::pcm8({1}));
  ins.fadeout = 40000;
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  EXPECT_EQ(loaded.song->instruments[0].volumeFadeout, 0xFFFF);
}

TEST(LoaderInstruments, NoSamplesMeansEmptySlotsAndLoadingGoesOnAfterTheDeclaredHeader) {
  XmInstrument empty;
  empty.headerSize = 60; // bytes 29..59 are padding the loader must skip
  XmInstrument second = XmInstrument::withSample(XmSample::pcm8({5, 6}));
  Loaded loaded = load(xmModuleWith({empty, second}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& first = loaded.song->instruments[0];
  EXPECT_EQ(first.numSamples, 0);
  for (Sample* slot : first.samples) EXPECT_EQ(slot, &emptySample);
  EXPECT_EQ(loaded.song->instruments[1].numSamples, 1);
  EXPECT_EQ(loaded.song->instruments[1].samples[0]->data[1], 6 * 256);
  for (int s = 1; s < 16; ++s) EXPECT_EQ(loaded.song->instruments[1].samples[s], &emptySample);
}

TEST(LoaderInstruments, LargerInstrumentAndSampleHeaderSizesAreHonoured) {
  XmInstrument ins;
  ins.headerSize = 300;
  ins.sampleHeaderSize = 64;
  ins.samples = {XmSample::pcm8({1, 2, 3}), XmSample::pcm16({-1000, 1000})};
  ins.samples[0].volume = 33;
  ins.samples[1].relativeNote = -12;
  ins.samples[1].panning = 7;
  Loaded loaded = load(xmModuleWith({ins, XmInstrument::withSample(XmSample::pcm8({9}))}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& i = loaded.song->instruments[0];
  EXPECT_EQ(i.samples[0]->volume, 33);
  EXPECT_EQ(i.samples[0]->data[2], 3 * 256);
  EXPECT_EQ(i.samples[1]->relativeNote, -12);
  EXPECT_EQ(i.samples[1]->panning, 7);
  EXPECT_EQ(i.samples[1]->data[0], -1000);
  EXPECT_EQ(i.samples[1]->data[1], 1000);
  EXPECT_EQ(loaded.song->instruments[1].samples[0]->data[0], 9 * 256);
}

TEST(LoaderInstruments, SampleHeaderSizeBelowFortyCountsAsForty) {
  XmInstrument ins;
  ins.samples = {XmSample::pcm8({1, 2}), XmSample::pcm8({3})};
  XmLayout layout;
  std::vector<std::uint8_t> bytes = writeXm(xmModuleWith({ins}), &layout);
  bytes[layout.instrumentStarts[0] + 29] = 0; // declared sample header size 0
  SongPtr song = loadSongBytes(bytes);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->instruments[0].samples[0]->data[1], 2 * 256);
  EXPECT_EQ(song->instruments[0].samples[1]->data[0], 3 * 256);
}

TEST(LoaderSamples, EightBitDeltasDecodeAndWiden) {
  XmSample sample;
  sample.rawData = std::vector<std::uint8_t>{1, 1, 0xFD}; // deltas 1, 1, -3
  Loaded loaded = loadOne(sample);
  ASSERT_NE(loaded.song, nullptr);
  const Sample& s = firstSample(loaded);
  EXPECT_EQ(s.length, 3u);
  EXPECT_EQ(s.bitsPerSample, 16);
  EXPECT_EQ(s.data[0], 256);
  EXPECT_EQ(s.data[1], 512);
  EXPECT_EQ(s.data[2], -256);
}

TEST(LoaderSamples, DeltaSumsWrapModulo256And65536) {
  XmSample eight;
  eight.rawData = std::vector<std::uint8_t>{0x7F, 0x02}; // 127, then 129 wraps to -127
  XmSample sixteen = XmSample::pcm16({});
  sixteen.rawData = std::vector<std::uint8_t>{0xFF, 0x7F, 0x02, 0x00}; // 32767, then wraps
  XmInstrument ins;
  ins.samples = {eight, sixteen};
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& i = loaded.song->instruments[0];
  EXPECT_EQ(i.samples[0]->data[1], -127 * 256);
  EXPECT_EQ(i.samples[1]->data[0], 32767);
  EXPECT_EQ(i.samples[1]->data[1], -32767);
}

TEST(LoaderSamples, SixteenBitValuesRoundTrip) {
  const std::vector<std::int16_t> values = {0, 32767, -32768, 12345, -1, 1, -20000};
  Loaded loaded = loadOne(XmSample::pcm16(values));
  ASSERT_NE(loaded.song, nullptr);
  const Sample& s = firstSample(loaded);
  ASSERT_EQ(s.length, values.size());
  for (std::size_t k = 0; k < values.size(); ++k) EXPECT_EQ(s.data[k], values[k]) << k;
  for (int k = 0; k < SampleGuardSamples; ++k) EXPECT_EQ(s.data[values.size() + k], 0);
}

TEST(LoaderSamples, OddSixteenBitByteLengthHalvesAndTheNextSampleStaysAligned) {
  XmSample odd = XmSample::pcm16({});
  std::vector<std::uint8_t> raw(1001, 0);
  raw[0] = 0x34, raw[1] = 0x12; // first value 0x1234, the rest deltas of 0
  odd.rawData = raw;
  XmInstrument ins;
  ins.samples = {odd, XmSample::pcm8({7, 8})};
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& i = loaded.song->instruments[0];
  EXPECT_EQ(i.samples[0]->length, 500u);
  EXPECT_EQ(i.samples[0]->data[499], 0x1234);
  EXPECT_EQ(i.samples[1]->data[0], 7 * 256);
  EXPECT_EQ(i.samples[1]->data[1], 8 * 256);
}

TEST(LoaderSamples, LoopKindsFromTheTypeBits) {
  XmInstrument ins;
  for (std::uint8_t type : {0, 1, 2, 3})
    ins.samples.push_back(XmSample::pcm8({1, 2, 3, 4}).loop(type, 1, 2));
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& i = loaded.song->instruments[0];
  EXPECT_EQ(i.samples[0]->loopKind, LoopNone);
  EXPECT_EQ(i.samples[0]->loopStart, 0u);
  EXPECT_EQ(i.samples[0]->loopLength, 4u);
  EXPECT_EQ(i.samples[1]->loopKind, LoopForward);
  EXPECT_EQ(i.samples[2]->loopKind, LoopPingPong);
  EXPECT_EQ(i.samples[3]->loopKind, LoopPingPong); // both bits: ping-pong wins
  EXPECT_EQ(i.samples[3]->loopStart, 1u);
  EXPECT_EQ(i.samples[3]->loopLength, 2u);
}

TEST(LoaderSamples, LoopWithZeroLengthIsUnlooped) {
  Loaded loaded = loadOne(XmSample::pcm8({1, 2, 3, 4, 5}).loop(1, 3, 0));
  ASSERT_NE(loaded.song, nullptr);
  const Sample& s = firstSample(loaded);
  EXPECT_EQ(s.loopKind, LoopNone);
  EXPECT_EQ(s.loopStart, 0u);
  EXPECT_EQ(s.loopLength, 5u);
}

TEST(LoaderSamples, SixteenBitLoopPointsAreInSamples) {
  Loaded loaded = loadOne(XmSample::pcm16({1, 2, 3, 4, 5, 6}).loop(1, 2, 3));
  ASSERT_NE(loaded.song, nullptr);
  const Sample& s = firstSample(loaded);
  EXPECT_EQ(s.length, 6u);
  EXPECT_EQ(s.loopStart, 2u);
  EXPECT_EQ(s.loopLength, 3u);
}

TEST(LoaderSamples, LoopGuardFollowsTheLoopKind) {
  XmInstrument ins;
  ins.samples = {XmSample::pcm8({10, 20, 30, 40, 50}).loop(1, 1, 2), // loop 20, 30
                 XmSample::pcm8({10, 20, 30, 40, 50}).loop(2, 1, 2),
                 XmSample::pcm8({10, 20, 30, 40, 50}),
                 XmSample::pcm8({10, 20, 30, 40, 50}).loop(1, 2, 3)}; // loop to the end
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& i = loaded.song->instruments[0];
  EXPECT_EQ(i.samples[0]->data[3], 20 * 256); // forward: data[loopStart]
  EXPECT_EQ(i.samples[1]->data[3], 30 * 256); // ping-pong: the last loop sample
  EXPECT_EQ(i.samples[2]->data[5], 0);        // no loop: the sample after the last stays 0
  EXPECT_EQ(i.samples[3]->data[5], 30 * 256);
  for (int k = 6; k < 5 + SampleGuardSamples; ++k) EXPECT_EQ(i.samples[3]->data[k], 0);
}

TEST(LoaderSamples, LoopPointsAreClampedIntoTheSample) {
  XmInstrument ins;
  ins.samples = {XmSample::pcm8({1, 2, 3, 4}).loop(1, 2, 100),             // runs past the end
                 XmSample::pcm8({1, 2, 3, 4}).loop(2, 9, 3),               // starts past the end
                 XmSample::pcm8({1, 2, 3, 4}).loop(1, 0xFFFFFFF0u, 0x20)}; // sum wraps
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  const Instrument& i = loaded.song->instruments[0];
  EXPECT_EQ(i.samples[0]->loopStart, 2u);
  EXPECT_EQ(i.samples[0]->loopLength, 2u);
  EXPECT_EQ(i.samples[0]->data[4], 3 * 256); // guard at the end of the clamped loop
  EXPECT_EQ(i.samples[1]->loopStart, 3u);
  EXPECT_EQ(i.samples[1]->loopLength, 1u);
  EXPECT_EQ(i.samples[1]->data[4], 4 * 256);
  EXPECT_EQ(i.samples[2]->loopStart, 3u);
  EXPECT_EQ(i.samples[2]->loopLength, 1u);
}

TEST(LoaderSamples, VolumeAboveSixtyFourIsClampedAndOtherFieldsKept) {
  XmSample sample = XmSample::pcm8({1});
  sample.volume = 200;
  sample.finetune = -128;
  sample.panning = 255;
  sample.relativeNote = 24;
  Loaded loaded = loadOne(sample);
  ASSERT_NE(loaded.song, nullptr);
  const Sample& s = firstSample(loaded);
  EXPECT_EQ(s.volume, 64);
  EXPECT_EQ(s.finetune, -128);
  EXPECT_EQ(s.panning, 255);
  EXPECT_EQ(s.relativeNote, 24);
}

TEST(LoaderSamples, EmptySampleHasNoDataAndNoLoop) {
  XmInstrument ins;
  ins.samples = {XmSample::pcm8({}).loop(1, 0, 4), XmSample::pcm8({3})};
  Loaded loaded = load(xmModuleWith({ins}));
  ASSERT_NE(loaded.song, nullptr);
  const Sample& s = *loaded.song->instruments[0].samples[0];
  EXPECT_EQ(s.data, nullptr);
  EXPECT_EQ(s.length, 0u);
  EXPECT_EQ(s.loopKind, LoopNone);
  EXPECT_EQ(s.loopLength, 0u);
  EXPECT_EQ(loaded.song->instruments[0].samples[1]->data[0], 3 * 256);
}

TEST(LoaderSamples, DataCutShortByTheFileEndsTheSampleThere) {
  XmModule module =
      xmModuleWith({XmInstrument::withSample(XmSample::pcm8({1, 2, 3, 4, 5, 6}).loop(1, 4, 2))});
  std::vector<std::uint8_t> bytes = writeXm(module);
  bytes.resize(bytes.size() - 2); // the last two sample bytes are missing
  SongPtr song = loadSongBytes(bytes);
  ASSERT_NE(song, nullptr);
  const Sample& s = *song->instruments[0].samples[0];
  EXPECT_EQ(s.length, 4u);
  EXPECT_EQ(s.data[3], 4 * 256);
  EXPECT_EQ(s.loopStart, 3u);
  EXPECT_EQ(s.loopLength, 1u);
  EXPECT_EQ(s.data[4], 4 * 256); // forward guard at the clamped loop end
}

// The callback supplies plain values; it records what the loader asked for.
struct CallbackCall {
  std::int32_t byteCount, bits, instrument, sample;
};
std::vector<CallbackCall> callbackCalls;

void supplyRamp(void* destination, std::int32_t byteCount, std::int32_t bits,
                std::int32_t instrumentIndex, std::int32_t sampleIndex) {
  callbackCalls.push_back({byteCount, bits, instrumentIndex, sampleIndex});
  if (bits == 8) {
    auto* out = static_cast<std::int8_t*>(destination);
    for (int k = 0; k < byteCount; ++k) out[k] = static_cast<std::int8_t>(k + 1);
  } else {
    auto* out = static_cast<std::int16_t*>(destination);
    for (int k = 0; k < byteCount / 2; ++k) out[k] = static_cast<std::int16_t>(-100 * (k + 1));
  }
}

TEST(LoaderSamples, CallbackSuppliesPlainValuesAndTheFileIsSkipped) {
  callbackCalls.clear();
  XmInstrument first;
  first.samples = {XmSample::pcm8({50, 50, 50, 50}).loop(1, 0, 3), XmSample::pcm16({9, 9})};
  XmInstrument second = XmInstrument::withSample(XmSample::pcm8({70}));
  second.vibratoDepth = 11; // read after the first instrument's data was skipped
  Loaded loaded = load(xmModuleWith({first, second}), supplyRamp);
  ASSERT_NE(loaded.song, nullptr);
  EXPECT_EQ(loaded.song->sampleDataCallback, &supplyRamp);
  ASSERT_EQ(callbackCalls.size(), 3u);
  EXPECT_EQ(callbackCalls[0].byteCount, 4);
  EXPECT_EQ(callbackCalls[0].bits, 8);
  EXPECT_EQ(callbackCalls[1].byteCount, 4);
  EXPECT_EQ(callbackCalls[1].bits, 16);
  EXPECT_EQ(callbackCalls[1].sample, 1);
  EXPECT_EQ(callbackCalls[2].instrument, 1);
  EXPECT_EQ(callbackCalls[2].sample, 0);
  const Instrument& i = loaded.song->instruments[0];
  // No delta decoding; 8-bit values still widen; the loop guard still applies.
  EXPECT_EQ(i.samples[0]->data[0], 1 * 256);
  EXPECT_EQ(i.samples[0]->data[2], 3 * 256);
  EXPECT_EQ(i.samples[0]->data[3], 1 * 256); // forward guard: data[loopStart]
  EXPECT_EQ(i.samples[1]->data[1], -200);
  EXPECT_EQ(loaded.song->instruments[1].vibratoDepth, 11);
  EXPECT_EQ(loaded.song->instruments[1].samples[0]->data[0], 1 * 256);
}

} // namespace
