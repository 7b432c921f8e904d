// XM instruments and their sample headers.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "player/loader.h"
#include "player/loadnotes.h"

namespace {
// Instrument name (22) and type (1), read only for the notes.
constexpr std::int64_t InstrumentNameAndTypeBytes = 23;
// Byte offsets of the fields of a sample header.
constexpr std::size_t SampleLengthAt = 0;
constexpr std::size_t SampleLoopStartAt = 4;
constexpr std::size_t SampleLoopLengthAt = 8;
constexpr std::size_t SampleVolumeAt = 12;
constexpr std::size_t SampleFinetuneAt = 13;
constexpr std::size_t SampleTypeAt = 14;
constexpr std::size_t SamplePanningAt = 15;
constexpr std::size_t SampleRelativeNoteAt = 16;
constexpr std::size_t SampleReservedAt = 17;
constexpr std::size_t SampleNameAt = 18;
// The reserved byte marks 8-bit data stored 4-bit packed (a table of deltas and indices).
constexpr std::uint8_t SamplePackedMark = 0xAD;
// Envelope and vibrato block: 14 byte fields in Instrument order, then the 16-bit fadeout.
constexpr std::size_t InstrumentSettingsBytes = 16;
constexpr std::size_t InstrumentFadeoutAt = 14;
// An envelope point: 16-bit tick, 16-bit value.
constexpr std::size_t EnvelopePointBytes = 4;
constexpr std::size_t EnvelopeBytes = EnvelopePointCount * EnvelopePointBytes;
// The fields of a sample header take 40 bytes; a declared size below that is a writer's
// slip, so headers are never taken to be shorter.
constexpr std::int64_t SampleHeaderBytes = 40;
constexpr std::uint8_t SampleMaxVolume = 64;
// Sample header type byte.
constexpr std::uint8_t SampleTypeForward = 1;
constexpr std::uint8_t SampleTypePingPong = 2;
constexpr std::uint8_t SampleType16Bit = 16;
constexpr int SampleBytes16Shift = 1;
constexpr int EnvelopeMinPoints = 2;

void decodeEnvelope(const std::uint8_t* bytes, EnvelopePoint* points) {
  for (int point = 0; point < EnvelopePointCount; ++point)
    points[point] = {littleU16(bytes + EnvelopePointBytes * point),
                     littleU16(bytes + EnvelopePointBytes * point + sizeof(std::uint16_t))};
}

// Point counts within the 12 stored points, and a loop start among the points: the player
// jumps to the loop start point.
void limitEnvelope(std::uint8_t& points, std::uint8_t& loopStart, std::uint8_t& type) {
  points = std::min<std::uint8_t>(points, EnvelopePointCount);
  if (points < EnvelopeMinPoints) type = 0;
  if (points > 0) loopStart = std::min<std::uint8_t>(loopStart, points - 1);
}

void readSettings(XmReader& reader, Instrument& instrument) {
  readBytes(reader, instrument.sampleForNote, InstrumentNoteMap);
  std::uint8_t envelopes[2 * EnvelopeBytes];
  readBytes(reader, envelopes, sizeof envelopes);
  decodeEnvelope(envelopes, instrument.volumeEnvelope);
  decodeEnvelope(envelopes + EnvelopeBytes, instrument.panningEnvelope);
  std::uint8_t b[InstrumentSettingsBytes];
  readBytes(reader, b, sizeof b);
  Instrument& i = instrument;
  i.numVolumePoints = b[0], i.numPanningPoints = b[1], i.volumeSustainPoint = b[2];
  i.volumeLoopStart = b[3], i.volumeLoopEnd = b[4], i.panningSustainPoint = b[5];
  i.panningLoopStart = b[6], i.panningLoopEnd = b[7], i.volumeType = b[8], i.panningType = b[9];
  i.vibratoType = b[10], i.vibratoSweep = b[11], i.vibratoDepth = b[12], i.vibratoRate = b[13];
  // Twice the file value, kept within the 16-bit field.
  i.volumeFadeout =
      static_cast<std::uint16_t>(std::min(2 * littleU16(b + InstrumentFadeoutAt), 0xFFFF));
  limitEnvelope(i.numVolumePoints, i.volumeLoopStart, i.volumeType);
  limitEnvelope(i.numPanningPoints, i.panningLoopStart, i.panningType);
}

void noteSampleHeader(const std::uint8_t* b, const XmStoredSample& stored, XmSampleNotes* notes) {
  if (!notes) return;
  std::memcpy(notes->name, b + SampleNameAt, XmItemNameBytes);
  notes->name[XmItemNameBytes] = 0;
  notes->fileBytes = littleU32(b + SampleLengthAt);
  notes->fileLoopStart = littleU32(b + SampleLoopStartAt);
  notes->fileLoopLength = littleU32(b + SampleLoopLengthAt);
  notes->typeByte = b[SampleTypeAt];
  notes->fileBits = (b[SampleTypeAt] & SampleType16Bit) ? SampleBits16 : SampleBits8;
  notes->packed = stored.packed;
  notes->storedBytes = storedDataBytes(stored);
}

// Decodes a 40-byte sample header; returns how its data is stored. Only 8-bit data is ever
// packed: on a 16-bit sample the mark is taken for a stray reserved byte.
XmStoredSample decodeSampleHeader(const std::uint8_t* b, Sample& sample) {
  const std::uint32_t fileBytes = littleU32(b + SampleLengthAt);
  sample.length = fileBytes;
  sample.loopStart = littleU32(b + SampleLoopStartAt);
  sample.loopLength = littleU32(b + SampleLoopLengthAt);
  sample.volume = std::min(b[SampleVolumeAt], SampleMaxVolume);
  sample.finetune = static_cast<std::int8_t>(b[SampleFinetuneAt]);
  const std::uint8_t type = b[SampleTypeAt];
  sample.loopKind = LoopNone;
  sample.bitsPerSample = SampleBits8;
  if (type & SampleTypeForward) sample.loopKind = LoopForward;
  if (type & SampleTypePingPong) sample.loopKind = LoopPingPong;
  if (type & SampleType16Bit) sample.bitsPerSample = SampleBits16;
  if (sample.loopKind == LoopNone) {
    sample.loopStart = 0;
    sample.loopLength = sample.length;
  }
  if (sample.bitsPerSample == SampleBits16) { // bytes to samples
    sample.length >>= SampleBytes16Shift;
    sample.loopStart >>= SampleBytes16Shift;
    sample.loopLength >>= SampleBytes16Shift;
  }
  if (sample.loopLength == 0) {
    sample.loopStart = 0;
    sample.loopLength = sample.length;
    sample.loopKind = LoopNone;
  }
  sample.panning = b[SamplePanningAt];
  sample.relativeNote = static_cast<std::int8_t>(b[SampleRelativeNoteAt]);
  const bool packed = b[SampleReservedAt] == SamplePackedMark && sample.bitsPerSample == SampleBits8;
  return {fileBytes, packed};
}

const char* loadSampleHeaders(XmReader& reader, Instrument& instrument, int index,
                              std::int64_t stride, XmStoredInstrument& stored,
                              XmInstrumentNotes* notes) {
  for (int slot = 0; slot < instrument.numSamples; ++slot) {
    auto* sample = static_cast<Sample*>(std::calloc(1, sizeof(Sample)));
    if (!sample) return RefusalOutOfMemory;
    instrument.samples[slot] = sample;
    enterPart(reader, XmPart::SampleHeader, 0, index + 1, slot);
    const std::int64_t start = tellPosition(reader);
    std::uint8_t header[SampleHeaderBytes];
    readBytes(reader, header, sizeof header);
    stored.samples[slot] = decodeSampleHeader(header, *sample);
    noteSampleHeader(header, stored.samples[slot], notes ? &notes->samples[slot] : nullptr);
    seekTo(reader, start + stride);
  }
  return nullptr;
}

// Name and type (only read for the notes) and the sample count.
std::uint16_t readSampleCount(XmReader& reader, XmInstrumentNotes* notes) {
  if (notes) {
    readName(reader, notes->name, XmItemNameBytes);
    readU8(reader); // type
  } else {
    skipBytes(reader, InstrumentNameAndTypeBytes);
  }
  return readU16(reader);
}
} // namespace

const char* allocateInstruments(Song* song) {
  if (song->numInstruments == 0) return nullptr;
  song->instruments =
      static_cast<Instrument*>(std::calloc(song->numInstruments, sizeof(Instrument)));
  return song->instruments ? nullptr : RefusalOutOfMemory;
}

const char* loadInstrumentHeaders(Song* song, XmReader& reader, int index,
                                  XmStoredInstrument& stored) {
  Instrument& instrument = song->instruments[index];
  enterPart(reader, XmPart::InstrumentHeader, 0, index + 1);
  const std::int64_t start = tellPosition(reader);
  const std::uint32_t headerSize = readU32(reader);
  const std::int64_t sampleHeaders = start + headerSize;
  XmInstrumentNotes* notes = reader.notes ? &reader.notes->instruments[index] : nullptr;
  if (notes) notes->headerSize = headerSize;
  const std::uint16_t count = readSampleCount(reader, notes);
  if (count > XmMaxSamples)
    return refuseUnlessCut(
        reader, refusalText("instrument %d has more than 16 samples (%u)", index + 1, count));
  instrument.numSamples = count;
  for (int slot = count; slot < InstrumentSampleSlots; ++slot)
    instrument.samples[slot] = &emptySample;
  if (count == 0) {
    seekTo(reader, sampleHeaders);
    return nullptr;
  }
  const std::uint32_t sampleHeaderSize = readU32(reader);
  if (notes) notes->sampleHeaderSize = sampleHeaderSize;
  const std::int64_t stride = std::max<std::int64_t>(sampleHeaderSize, SampleHeaderBytes);
  readSettings(reader, instrument);
  seekTo(reader, sampleHeaders);
  return loadSampleHeaders(reader, instrument, index, stride, stored, notes);
}

const char* loadInstrumentData(Song* song, XmReader& reader, int index,
                               const XmStoredInstrument& stored) {
  Instrument& instrument = song->instruments[index];
  XmInstrumentNotes* notes = reader.notes ? &reader.notes->instruments[index] : nullptr;
  for (int slot = 0; slot < instrument.numSamples; ++slot) {
    enterPart(reader, XmPart::SampleData, 0, index + 1, slot);
    if (const char* refusal =
            loadSampleData(song, reader, *instrument.samples[slot], stored.samples[slot], index,
                           slot, notes ? &notes->samples[slot] : nullptr))
      return refusal;
  }
  return nullptr;
}
