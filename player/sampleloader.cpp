// XM sample data: bounding by the file, loop clamping, unpacking, widening, delta decoding,
// loop guard.
#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "player/loader.h"
#include "player/loadnotes.h"

// 16-bit sample data is little-endian in the file and read straight into int16 buffers.
static_assert(std::endian::native == std::endian::little);

namespace {
constexpr int BitsPerByte = 8;
constexpr int WidenShift = 8; // 8-bit sample values become the high byte of 16-bit ones
// Packed 8-bit data: a table of 16 signed 8-bit deltas, then one 4-bit table index per
// sample, two a byte, the low nibble first.
constexpr std::uint32_t PackedTableBytes = 16;
constexpr std::uint32_t PackedSamplesPerByte = 2;
constexpr int PackedIndexBits = 4;
constexpr std::uint8_t PackedIndexMask = 0x0F;

// Bytes of a sample buffer: the samples, then the zero guard samples.
std::size_t sampleBufferBytes(std::uint32_t length) {
  return (static_cast<std::size_t>(length) + SampleGuardSamples) * sizeof(std::int16_t);
}

// Running sum modulo 65536: each stored value is the difference from the previous one.
void decodeDeltas(std::int16_t* data, std::uint32_t length) {
  std::uint16_t sum = 0;
  for (std::uint32_t k = 0; k < length; ++k) {
    sum = static_cast<std::uint16_t>(sum + static_cast<std::uint16_t>(data[k]));
    data[k] = static_cast<std::int16_t>(sum);
  }
}

// The sample just past the loop end, read by the mixer's interpolation.
void writeLoopGuard(Sample& sample) {
  const std::uint32_t end = sample.loopStart + sample.loopLength;
  if (sample.loopKind == LoopPingPong) sample.data[end] = sample.data[end - 1];
  if (sample.loopKind == LoopForward) sample.data[end] = sample.data[sample.loopStart];
}

// Each index adds its table entry to a running 8-bit value: the sample's next value itself,
// not a delta.
void unpack(const std::uint8_t* packed, std::uint8_t* raw, std::uint32_t length) {
  const std::uint8_t* table = packed;
  const std::uint8_t* indices = packed + PackedTableBytes;
  std::uint8_t value = 0;
  for (std::uint32_t k = 0; k < length; ++k) {
    const std::uint8_t pair = indices[k / PackedSamplesPerByte];
    const auto index = static_cast<std::uint8_t>((k % PackedSamplesPerByte) ? pair >> PackedIndexBits
                                                                            : pair & PackedIndexMask);
    value = static_cast<std::uint8_t>(value + table[index]);
    raw[k] = value;
  }
}

// Reads packed data into `raw` as plain 8-bit values. False when memory runs out.
bool readPacked(XmReader& reader, std::uint8_t* raw, std::uint32_t length) {
  const std::size_t bytes = PackedTableBytes + (std::size_t{length} + 1) / PackedSamplesPerByte;
  auto* packed = static_cast<std::uint8_t*>(std::malloc(bytes));
  if (!packed) return false;
  readBytes(reader, packed, bytes);
  unpack(packed, raw, length);
  std::free(packed);
  return true;
}

// Fills a fresh buffer with the sample's values in its own width, from the callback or
// the file; packed data arrives unpacked, but still delta-coded only when it was not.
std::uint8_t* fetchRaw(Song* song, XmReader& reader, const Sample& sample, bool packed,
                       int instrumentIndex, int sampleIndex) {
  auto* raw = static_cast<std::uint8_t*>(std::calloc(1, sampleBufferBytes(sample.length)));
  if (!raw) return nullptr;
  const std::size_t byteCount =
      static_cast<std::size_t>(sample.bitsPerSample) / BitsPerByte * sample.length;
  if (song->sampleDataCallback) {
    song->sampleDataCallback(raw, static_cast<std::int32_t>(byteCount), sample.bitsPerSample,
                             instrumentIndex, sampleIndex);
  } else if (packed) {
    if (!readPacked(reader, raw, sample.length)) {
      std::free(raw);
      return nullptr;
    }
  } else {
    readBytes(reader, raw, byteCount);
  }
  return raw;
}

// 8-bit values become 16-bit ones in a new buffer; 16-bit ones keep theirs.
std::int16_t* widen(std::uint8_t* raw, Sample& sample) {
  if (sample.bitsPerSample == SampleBits16) return reinterpret_cast<std::int16_t*>(raw);
  auto* data = static_cast<std::int16_t*>(std::calloc(1, sampleBufferBytes(sample.length)));
  if (data) {
    for (std::uint32_t k = 0; k < sample.length; ++k)
      data[k] = static_cast<std::int16_t>(static_cast<std::int8_t>(raw[k]) * (1 << WidenShift));
  }
  std::free(raw);
  sample.bitsPerSample = SampleBits16;
  return data;
}
} // namespace

void clampLoop(Sample& sample) {
  if (sample.length == 0) {
    sample.loopStart = 0;
    sample.loopLength = 0;
    sample.loopKind = LoopNone;
  } else if (sample.loopKind == LoopNone) {
    sample.loopStart = 0;
    sample.loopLength = sample.length;
  } else {
    sample.loopStart = std::min(sample.loopStart, sample.length - 1);
    sample.loopLength = std::min(sample.loopLength, sample.length - sample.loopStart);
  }
}

std::uint32_t storedDataBytes(const XmStoredSample& stored) {
  if (!stored.packed) return stored.declaredBytes;
  if (stored.declaredBytes == 0) return 0;
  return PackedTableBytes + static_cast<std::uint32_t>(
                                (std::uint64_t{stored.declaredBytes} + 1) / PackedSamplesPerByte);
}

namespace {
// Samples whose data is complete in the first `present` bytes of the stored data.
std::uint32_t samplesIn(std::int64_t present, const Sample& sample, bool packed) {
  if (packed) {
    if (present <= PackedTableBytes) return 0;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(
        (present - PackedTableBytes) * PackedSamplesPerByte, sample.length));
  }
  return static_cast<std::uint32_t>(present / (sample.bitsPerSample / BitsPerByte));
}

// Data missing at the end of a truncated file is not invented: the sample ends where the
// file does. This also bounds every allocation by the file's size.
void boundByFile(XmReader& reader, Sample& sample, const XmStoredSample& stored,
                 XmSampleNotes* notes) {
  const std::int64_t present = std::min<std::int64_t>(storedDataBytes(stored), bytesLeft(reader));
  const std::uint32_t presentSamples = samplesIn(present, sample, stored.packed);
  if (presentSamples >= sample.length) return;
  sample.length = presentSamples;
  if (notes) notes->cutByFileEnd = true;
  noteFileEnd(reader);
}

void clampLoopNoted(Sample& sample, XmSampleNotes* notes) {
  const Sample declared = sample;
  clampLoop(sample);
  if (notes) {
    notes->loopClamped =
        declared.loopKind != LoopNone &&
        (sample.loopStart != declared.loopStart || sample.loopLength != declared.loopLength);
  }
}
} // namespace

const char* loadSampleData(Song* song, XmReader& reader, Sample& sample,
                           const XmStoredSample& stored, int instrumentIndex, int sampleIndex,
                           XmSampleNotes* notes) {
  const std::int64_t start = tellPosition(reader);
  // Data from the callback need not be in the file, so it keeps its declared length.
  if (!song->sampleDataCallback) boundByFile(reader, sample, stored, notes);
  clampLoopNoted(sample, notes);
  if (sample.length > 0) {
    std::uint8_t* raw =
        fetchRaw(song, reader, sample, stored.packed, instrumentIndex, sampleIndex);
    if (!raw) return RefusalOutOfMemory;
    sample.data = widen(raw, sample);
    if (!sample.data) return RefusalOutOfMemory;
    if (!song->sampleDataCallback && !stored.packed) decodeDeltas(sample.data, sample.length);
    writeLoopGuard(sample);
  }
  // After loading every sample holds 16-bit values, empty ones too.
  sample.bitsPerSample = SampleBits16;
  // The next data starts after the stored size, odd trailing byte of 16-bit data included.
  seekTo(reader, start + storedDataBytes(stored));
  return nullptr;
}
