#include "tools/songgen/xmwriter.h"

#include <algorithm>

namespace songgen {
namespace {

constexpr char XmSignature[] = "Extended Module: ";
constexpr char TrackerName[] = "Nyra songgen";
constexpr std::uint8_t XmEndOfText = 0x1A;
constexpr std::uint16_t XmVersion = 0x0104;
constexpr std::uint32_t XmHeaderSize = 276;       // counted from file offset 60
constexpr std::uint32_t XmPatternHeaderSize = 9;
constexpr std::uint32_t XmInstrumentHeaderSize = 263; // with one sample
constexpr std::uint32_t XmSampleHeaderSize = 40;
constexpr int XmNameLength = 20;
constexpr int XmInstrumentNameLength = 22;
constexpr int XmSampleNameLength = 22;
constexpr int XmOrderTableSize = 256;
constexpr int XmNoteMapSize = 96;
constexpr int XmEnvelopePoints = 12;
constexpr int XmInstrumentReserved = 22; // after the fadeout: keeps the header at 263 bytes
constexpr std::uint8_t XmPackedFlag = 0x80;
constexpr std::uint8_t XmSampleForwardLoop = 1;
constexpr std::uint8_t EnvelopeOnBit = 1, EnvelopeSustainBit = 2;

class ByteWriter {
public:
  void u8(std::uint8_t v) { bytes_.push_back(v); }
  void u16(std::uint16_t v) { u8(v & 0xFF); u8(v >> 8); }
  void u32(std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
  // Text padded with zero bytes (or cut) to exactly `length` bytes.
  void text(const std::string& s, int length, char pad = '\0') {
    for (int i = 0; i < length; ++i)
      u8(i < static_cast<int>(s.size()) ? static_cast<std::uint8_t>(s[i]) : pad);
  }
  void zeros(int count) { bytes_.insert(bytes_.end(), count, 0); }
  void append(const std::vector<std::uint8_t>& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
  }
  std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
  std::vector<std::uint8_t> bytes_;
};

void writeHeader(ByteWriter& out, const XmModule& module) {
  out.text(XmSignature, 17);
  out.text(module.name, XmNameLength, ' ');
  out.u8(XmEndOfText);
  out.text(TrackerName, XmNameLength, ' ');
  out.u16(XmVersion);
  out.u32(XmHeaderSize);
  out.u16(static_cast<std::uint16_t>(module.orders.size()));
  out.u16(module.restartPosition);
  out.u16(XmChannels);
  out.u16(static_cast<std::uint16_t>(module.patterns.size()));
  out.u16(static_cast<std::uint16_t>(module.instruments.size()));
  out.u16(0); // flags: Amiga frequency table
  out.u16(module.defaultSpeed);
  out.u16(module.defaultBpm);
  for (int i = 0; i < XmOrderTableSize; ++i)
    out.u8(i < static_cast<int>(module.orders.size()) ? module.orders[i] : 0);
}

// A cell with all five fields set is stored plain; any other cell as a flag byte saying
// which fields follow (an empty cell is the single byte 0x80).
void packCell(std::vector<std::uint8_t>& out, const XmCell& c) {
  const std::uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
  std::uint8_t mask = 0;
  for (int k = 0; k < 5; ++k)
    if (fields[k] != 0) mask |= static_cast<std::uint8_t>(1 << k);
  if (mask == 0x1F) {
    out.insert(out.end(), fields, fields + 5);
    return;
  }
  out.push_back(XmPackedFlag | mask);
  for (int k = 0; k < 5; ++k)
    if (fields[k] != 0) out.push_back(fields[k]);
}

void writePattern(ByteWriter& out, const XmPattern& pattern) {
  std::vector<std::uint8_t> packed;
  for (int row = 0; row < XmRows; ++row)
    for (int ch = 0; ch < XmChannels; ++ch) packCell(packed, pattern.cells[row][ch]);
  out.u32(XmPatternHeaderSize);
  out.u8(0); // packing type
  out.u16(XmRows);
  out.u16(static_cast<std::uint16_t>(packed.size()));
  out.append(packed);
}

void writeEnvelope(ByteWriter& out, const std::vector<XmEnvelopePoint>& points) {
  for (int i = 0; i < XmEnvelopePoints; ++i) {
    const bool used = i < static_cast<int>(points.size());
    out.u16(used ? points[i].x : 0);
    out.u16(used ? points[i].y : 0);
  }
}

void writeInstrument(ByteWriter& out, const XmInstrument& ins) {
  out.u32(XmInstrumentHeaderSize);
  out.text(ins.name, XmInstrumentNameLength);
  out.u8(0); // type
  out.u16(1); // one sample
  out.u32(XmSampleHeaderSize);
  out.zeros(XmNoteMapSize); // every note plays sample 0
  writeEnvelope(out, ins.volumeEnvelope);
  writeEnvelope(out, {});
  const bool envelope = ins.volumeEnvelope.size() >= 2;
  out.u8(static_cast<std::uint8_t>(ins.volumeEnvelope.size()));
  out.u8(0); // panning points
  out.u8(static_cast<std::uint8_t>(std::max(ins.volumeSustainPoint, 0)));
  out.u8(0); // volume loop start
  out.u8(0); // volume loop end
  out.zeros(3); // panning sustain, loop start, loop end
  std::uint8_t volumeType = envelope ? EnvelopeOnBit : 0;
  if (envelope && ins.volumeSustainPoint >= 0) volumeType |= EnvelopeSustainBit;
  out.u8(volumeType);
  out.u8(0); // panning type
  out.u8(ins.vibratoType);
  out.u8(ins.vibratoSweep);
  out.u8(ins.vibratoDepth);
  out.u8(ins.vibratoRate);
  out.u16(ins.volumeFadeout);
  out.zeros(XmInstrumentReserved);

  // Sample header.
  const auto length = static_cast<std::uint32_t>(ins.data.size());
  out.u32(length);
  out.u32(ins.looped ? ins.loopStart : 0);
  out.u32(ins.looped ? length - ins.loopStart : 0);
  out.u8(ins.volume);
  out.u8(static_cast<std::uint8_t>(ins.finetune));
  out.u8(ins.looped ? XmSampleForwardLoop : 0); // 8-bit, forward loop or none
  out.u8(ins.panning);
  out.u8(static_cast<std::uint8_t>(ins.relativeNote));
  out.u8(0); // reserved
  out.text(ins.name, XmSampleNameLength);

  // Sample data, delta-coded modulo 256.
  std::int8_t previous = 0;
  for (std::int8_t s : ins.data) {
    out.u8(static_cast<std::uint8_t>(s - previous));
    previous = s;
  }
}

} // namespace

std::vector<std::uint8_t> encodeXm(const XmModule& module) {
  ByteWriter out;
  writeHeader(out, module);
  for (const XmPattern& p : module.patterns) writePattern(out, p);
  for (const XmInstrument& ins : module.instruments) writeInstrument(out, ins);
  return std::move(out.bytes());
}

} // namespace songgen
