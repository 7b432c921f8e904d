// XM sample data: bounding by the file, loop clamping, widening, delta decoding, loop guard.
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

// Fills a fresh buffer with the sample's values in its own width, from the callback or
// the file.
std::uint8_t* fetchRaw(Song* song, XmReader& reader, const Sample& sample, int instrumentIndex,
                       int sampleIndex) {
  auto* raw = static_cast<std::uint8_t*>(std::calloc(1, sampleBufferBytes(sample.length)));
  if (!raw) return nullptr;
  const std::size_t byteCount =
      static_cast<std::size_t>(sample.bitsPerSample) / BitsPerByte * sample.length;
  if (song->sampleDataCallback) {
    song->sampleDataCallback(raw, static_cast<std::int32_t>(byteCount), sample.bitsPerSample,
                             instrumentIndex, sampleIndex);
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

namespace {
// Data missing at the end of a truncated file is not invented: the sample ends where the
// file does. This also bounds every allocation by the file's size.
void boundByFile(XmReader& reader, Sample& sample, std::uint32_t fileBytes,
                 XmSampleNotes* notes) {
  const std::uint32_t bytesPerSample = sample.bitsPerSample / BitsPerByte;
  const std::int64_t present = std::min<std::int64_t>(fileBytes, bytesLeft(reader));
  const auto presentSamples = static_cast<std::uint32_t>(present / bytesPerSample);
  if (presentSamples >= sample.length) return;
  sample.length = presentSamples;
  if (notes) notes->cutByFileEnd = true;
  if (reader.notes) reader.notes->fileEndsEarly = true;
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

const char* loadSampleData(Song* song, XmReader& reader, Sample& sample, std::uint32_t fileBytes,
                           int instrumentIndex, int sampleIndex, XmSampleNotes* notes) {
  const std::int64_t start = tellPosition(reader);
  // Data from the callback need not be in the file, so it keeps its declared length.
  if (!song->sampleDataCallback) boundByFile(reader, sample, fileBytes, notes);
  clampLoopNoted(sample, notes);
  if (sample.length > 0) {
    std::uint8_t* raw = fetchRaw(song, reader, sample, instrumentIndex, sampleIndex);
    if (!raw) return RefusalOutOfMemory;
    sample.data = widen(raw, sample);
    if (!sample.data) return RefusalOutOfMemory;
    if (!song->sampleDataCallback) decodeDeltas(sample.data, sample.length);
    writeLoopGuard(sample);
  }
  // After loading every sample holds 16-bit values, empty ones too.
  sample.bitsPerSample = SampleBits16;
  // The next data starts after the declared size, odd trailing byte of 16-bit data included.
  seekTo(reader, start + fileBytes);
  return nullptr;
}
