#include "tests/support/xmwriter.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {
constexpr std::size_t SignatureBytes = 17;
constexpr std::size_t NameBytes = 20;
constexpr std::size_t InstrumentNameBytes = 22;
constexpr std::size_t SampleNameBytes = 22;
constexpr std::uint32_t InstrumentHeaderWithSamples = 263;
constexpr std::uint32_t InstrumentHeaderWithoutSamples = 29;
constexpr std::uint8_t PackedMarker = 0x80;
constexpr std::uint8_t TypeSixteenBit = 0x10;
constexpr std::uint8_t ReservedPacked = 0xAD;
constexpr std::uint16_t VersionInstrumentsFirst = 0x0103;
constexpr std::uint16_t VersionShortPatterns = 0x0102;
constexpr std::uint32_t PatternHeaderBytes = 9;
constexpr std::uint32_t ShortPatternHeaderBytes = 8;
constexpr std::size_t OrderTableBytes = 256;
constexpr std::size_t EnvelopePoints = 12;

class ByteSink {
public:
  std::vector<std::uint8_t> bytes;

  std::size_t size() const { return bytes.size(); }
  void u8(std::uint8_t v) { bytes.push_back(v); }
  void u16(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v));
    u8(static_cast<std::uint8_t>(v >> 8));
  }
  void u32(std::uint32_t v) {
    u16(static_cast<std::uint16_t>(v));
    u16(static_cast<std::uint16_t>(v >> 16));
  }
  void append(const std::vector<std::uint8_t>& more) {
    bytes.insert(bytes.end(), more.begin(), more.end());
  }
  void text(const std::string& s, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
  }
  // Ends a block that started at `start` exactly `length` bytes after it: pads with zeros
  // or cuts what was written beyond.
  void fitBlock(std::size_t start, std::size_t length) { bytes.resize(start + length, 0); }
};

bool fullCell(const XmCell& c) { return c.note && c.instrument && c.volume && c.effect && c.param; }

void packCell(ByteSink& out, const XmCell& c, XmPacking packing) {
  const std::uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
  if (packing == XmPacking::Plain || (packing == XmPacking::Compact && fullCell(c))) {
    for (std::uint8_t f : fields) out.u8(f);
    return;
  }
  std::uint8_t mask = PackedMarker;
  for (int k = 0; k < 5; ++k)
    if (fields[k]) mask |= static_cast<std::uint8_t>(1u << k);
  out.u8(mask);
  for (std::uint8_t f : fields)
    if (f) out.u8(f);
}

bool emptyPattern(const XmPattern& pattern) {
  return std::all_of(pattern.cells.begin(), pattern.cells.end(), [](const XmCell& c) {
    return !c.note && !c.instrument && !c.volume && !c.effect && !c.param;
  });
}

void writePattern(ByteSink& out, const XmPattern& pattern, bool shortHeader) {
  std::vector<std::uint8_t> packed =
      pattern.rawPackedData ? *pattern.rawPackedData : packCells(pattern);
  if (pattern.emptyAsZeroSize && emptyPattern(pattern)) packed.clear();
  if (pattern.packedBytesKept) packed.resize(std::min(packed.size(), *pattern.packedBytesKept));
  const std::size_t start = out.size();
  const std::uint32_t headerLength =
      pattern.headerLength.value_or(shortHeader ? ShortPatternHeaderBytes : PatternHeaderBytes);
  out.u32(headerLength);
  out.u8(0); // packing type
  if (shortHeader) {
    out.u8(static_cast<std::uint8_t>(pattern.rowsField.value_or(static_cast<std::uint16_t>(pattern.rows() - 1))));
  } else {
    out.u16(pattern.rowsField.value_or(static_cast<std::uint16_t>(pattern.rows())));
  }
  out.u16(pattern.packedSizeField.value_or(static_cast<std::uint16_t>(packed.size())));
  out.fitBlock(start, headerLength);
  out.append(packed);
}

void writeEnvelopePoints(ByteSink& out, const XmEnvelope& envelope) {
  for (std::size_t i = 0; i < EnvelopePoints; ++i) {
    const bool present = i < envelope.points.size();
    out.u16(present ? envelope.points[i].x : 0);
    out.u16(present ? envelope.points[i].y : 0);
  }
}

std::uint8_t pointCount(const XmEnvelope& envelope) {
  return envelope.pointCountField.value_or(
      static_cast<std::uint8_t>(std::min(envelope.points.size(), EnvelopePoints)));
}

void writeInstrumentSettings(ByteSink& out, const XmInstrument& ins) {
  out.u32(ins.sampleHeaderSize);
  for (std::uint8_t s : ins.sampleForNote) out.u8(s);
  writeEnvelopePoints(out, ins.volumeEnvelope);
  writeEnvelopePoints(out, ins.panningEnvelope);
  const XmEnvelope& v = ins.volumeEnvelope;
  const XmEnvelope& p = ins.panningEnvelope;
  for (std::uint8_t b : {pointCount(v), pointCount(p), v.sustainPoint, v.loopStart, v.loopEnd,
                         p.sustainPoint, p.loopStart, p.loopEnd, v.type, p.type, ins.vibratoType,
                         ins.vibratoSweep, ins.vibratoDepth, ins.vibratoRate})
    out.u8(b);
  out.u16(ins.fadeout);
  out.u16(0); // reserved
}

void writeSampleHeader(ByteSink& out, const XmSample& s, std::uint32_t headerSize) {
  const std::uint32_t unit = s.sixteenBit ? 2 : 1;
  const std::size_t start = out.size();
  const std::uint32_t length =
      s.fourBitPacked ? static_cast<std::uint32_t>(s.values.size()) : s.dataBytes();
  out.u32(s.lengthField.value_or(length));
  out.u32(s.loopStartField.value_or(s.loopStart * unit));
  out.u32(s.loopLengthField.value_or(s.loopLength * unit));
  out.u8(s.volume);
  out.u8(static_cast<std::uint8_t>(s.finetune));
  out.u8(s.typeField.value_or(
      static_cast<std::uint8_t>(s.loopType | (s.sixteenBit ? TypeSixteenBit : 0))));
  out.u8(s.panning);
  out.u8(static_cast<std::uint8_t>(s.relativeNote));
  out.u8(s.reservedField.value_or(s.fourBitPacked ? ReservedPacked : 0));
  out.text(s.name, SampleNameBytes);
  out.fitBlock(start, headerSize);
}

void writeInstrumentHeaders(ByteSink& out, const XmInstrument& ins, XmLayout* layout) {
  if (layout) layout->instrumentStarts.push_back(out.size());
  const std::size_t start = out.size();
  const std::uint32_t headerSize = ins.headerSize.value_or(
      ins.samples.empty() ? InstrumentHeaderWithoutSamples : InstrumentHeaderWithSamples);
  out.u32(headerSize);
  out.text(ins.name, InstrumentNameBytes);
  out.u8(0); // type
  out.u16(ins.sampleCountField.value_or(static_cast<std::uint16_t>(ins.samples.size())));
  if (!ins.samples.empty()) writeInstrumentSettings(out, ins);
  out.fitBlock(start, headerSize);
  for (const XmSample& s : ins.samples) writeSampleHeader(out, s, ins.sampleHeaderSize);
}

void writeInstrumentData(ByteSink& out, const XmInstrument& ins, XmLayout* layout) {
  std::vector<std::size_t> dataStarts;
  for (const XmSample& s : ins.samples) {
    dataStarts.push_back(out.size());
    out.append(encodeSampleData(s));
  }
  if (layout) layout->sampleDataStarts.push_back(dataStarts);
}

void writePatterns(ByteSink& out, const XmModule& module, XmLayout* layout) {
  if (layout) layout->patternsStart = out.size();
  for (const XmPattern& pattern : module.patterns) {
    if (layout) layout->patternStarts.push_back(out.size());
    writePattern(out, pattern, module.version <= VersionShortPatterns);
  }
}

// The nearest value to `value` that one table entry reaches from `previous`; its index.
std::uint8_t packIndex(const XmSample& s, std::uint8_t previous, std::int16_t value) {
  int best = 0, bestDistance = 1 << 30;
  for (int i = 0; i < 16; ++i) {
    const auto reached = static_cast<std::int8_t>(static_cast<std::uint8_t>(previous + s.packTable[i]));
    const int distance = std::abs(reached - value);
    if (distance < bestDistance) best = i, bestDistance = distance;
  }
  return static_cast<std::uint8_t>(best);
}

// Table indices for the values, and the running value they give.
std::vector<std::uint8_t> packIndices(const XmSample& s, std::vector<std::int16_t>* reached) {
  std::vector<std::uint8_t> indices;
  std::uint8_t running = 0;
  for (std::int16_t value : s.values) {
    const std::uint8_t index = packIndex(s, running, value);
    running = static_cast<std::uint8_t>(running + s.packTable[index]);
    indices.push_back(index);
    if (reached) reached->push_back(static_cast<std::int8_t>(running));
  }
  return indices;
}

std::vector<std::uint8_t> encodePacked(const XmSample& s) {
  ByteSink out;
  if (s.values.empty()) return out.bytes;
  for (std::int8_t delta : s.packTable) out.u8(static_cast<std::uint8_t>(delta));
  const std::vector<std::uint8_t> indices = packIndices(s, nullptr);
  for (std::size_t k = 0; k < indices.size(); k += 2) // low nibble first
    out.u8(static_cast<std::uint8_t>(indices[k] | (k + 1 < indices.size() ? indices[k + 1] << 4 : 0)));
  return out.bytes;
}

void writeHeader(ByteSink& out, const XmModule& m) {
  out.text(m.signature, SignatureBytes);
  out.text(m.name, NameBytes);
  out.u8(0x1A);
  out.text(m.trackerName, NameBytes);
  out.u16(m.version);
  const std::size_t start = out.size();
  out.u32(m.headerSize);
  out.u16(m.songLengthField.value_or(static_cast<std::uint16_t>(m.orders.size())));
  out.u16(m.restartPosition);
  out.u16(m.numChannels);
  out.u16(m.patternCountField.value_or(static_cast<std::uint16_t>(m.patterns.size())));
  out.u16(m.instrumentCountField.value_or(static_cast<std::uint16_t>(m.instruments.size())));
  out.u16(m.flags);
  out.u16(m.defaultSpeed);
  out.u16(m.defaultBpm);
  for (std::size_t i = 0; i < OrderTableBytes; ++i) out.u8(i < m.orders.size() ? m.orders[i] : 0);
  out.fitBlock(start, m.headerSize);
}
} // namespace

XmEnvelope XmEnvelope::make(std::vector<Point> points, std::uint8_t type, std::uint8_t sustainPoint,
                            std::uint8_t loopStart, std::uint8_t loopEnd) {
  XmEnvelope envelope;
  envelope.points = std::move(points);
  envelope.type = type;
  envelope.sustainPoint = sustainPoint;
  envelope.loopStart = loopStart;
  envelope.loopEnd = loopEnd;
  return envelope;
}

XmSample XmSample::pcm8(std::vector<std::int16_t> values) {
  XmSample s;
  s.values = std::move(values);
  return s;
}

XmSample XmSample::pcm16(std::vector<std::int16_t> values) {
  XmSample s;
  s.values = std::move(values);
  s.sixteenBit = true;
  return s;
}

XmSample& XmSample::loop(std::uint8_t type, std::uint32_t start, std::uint32_t length) {
  loopType = type;
  loopStart = start;
  loopLength = length;
  return *this;
}

XmSample XmSample::packed8(std::vector<std::int16_t> values) {
  XmSample s;
  s.values = std::move(values);
  s.fourBitPacked = true;
  return s;
}

std::uint32_t XmSample::dataBytes() const {
  if (rawData) return static_cast<std::uint32_t>(rawData->size());
  if (fourBitPacked) return static_cast<std::uint32_t>(values.empty() ? 0 : 16 + (values.size() + 1) / 2);
  return static_cast<std::uint32_t>(values.size() * (sixteenBit ? 2 : 1));
}

XmInstrument XmInstrument::withSample(XmSample sample) {
  XmInstrument ins;
  ins.samples.push_back(std::move(sample));
  return ins;
}

XmPattern& XmModule::addPattern(int rows) {
  XmPattern pattern;
  pattern.channels = numChannels;
  pattern.cells.resize(static_cast<std::size_t>(rows) * numChannels);
  patterns.push_back(std::move(pattern));
  return patterns.back();
}

std::vector<std::uint8_t> packCells(const XmPattern& pattern) {
  ByteSink out;
  for (const XmCell& cell : pattern.cells) packCell(out, cell, pattern.packing);
  return out.bytes;
}

std::vector<std::uint8_t> encodeSampleData(const XmSample& sample) {
  if (sample.rawData) return *sample.rawData;
  if (sample.fourBitPacked) return encodePacked(sample);
  ByteSink out;
  std::int32_t previous = 0;
  for (std::int16_t value : sample.values) {
    const std::int32_t delta = value - previous;
    previous = value;
    if (sample.sixteenBit) {
      out.u16(static_cast<std::uint16_t>(delta));
    } else {
      out.u8(static_cast<std::uint8_t>(delta));
    }
  }
  return out.bytes;
}

std::vector<std::int16_t> packedValues(const XmSample& sample) {
  std::vector<std::int16_t> reached;
  packIndices(sample, &reached);
  return reached;
}

XmModule xmModuleWith(std::vector<XmInstrument> instruments) {
  XmModule module;
  module.orders = {0};
  module.addPattern(4);
  module.instruments = std::move(instruments);
  return module;
}

std::vector<std::uint8_t> writeXm(const XmModule& module, XmLayout* layout) {
  ByteSink out;
  writeHeader(out, module);
  if (layout) *layout = XmLayout{};
  if (module.version <= VersionInstrumentsFirst) {
    for (const XmInstrument& instrument : module.instruments) writeInstrumentHeaders(out, instrument, layout);
    writePatterns(out, module, layout);
    for (const XmInstrument& instrument : module.instruments) writeInstrumentData(out, instrument, layout);
  } else {
    writePatterns(out, module, layout);
    for (const XmInstrument& instrument : module.instruments) {
      writeInstrumentHeaders(out, instrument, layout);
      writeInstrumentData(out, instrument, layout);
    }
  }
  if (layout) layout->end = out.size();
  return out.bytes;
}
