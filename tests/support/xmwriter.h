#pragma once
// Builds XM module files byte by byte for tests. Everything is given as plain values: the
// writer packs pattern cells, delta-encodes (or 4-bit packs) sample data and converts sample
// lengths and loop points to bytes. The module's version chooses the layout: 1.04 as today's
// trackers write it, 1.03 and 1.02 with all instruments before the patterns and the sample
// data last, 1.02 also with 8-byte pattern headers. Options write odd header sizes, raw
// field values, lying or truncated packed data, so loaders can be fed both ordinary and
// broken files.
//
//   XmModule module;                      // 4 channels, speed 6, BPM 125, linear table
//   module.orders = {0};
//   XmPattern& pattern = module.addPattern(64);
//   pattern.at(0, 0) = {49, 1, 0, 0x0C, 0x40};   // C-4, instrument 1, volume effect
//   module.instruments.push_back(XmInstrument::withSample(XmSample::pcm8({0, 64, 127})));
//   std::vector<std::uint8_t> bytes = writeXm(module);
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Note values as the file stores them.
constexpr std::uint8_t XmNoteKeyOff = 97;
// 1-based note number of a note name's semitone (0 = C .. 11 = B) in octave 0..7.
constexpr std::uint8_t xmNote(int semitone, int octave) {
  return static_cast<std::uint8_t>(octave * 12 + semitone + 1);
}

struct XmCell {
  std::uint8_t note = 0;       // 0 none, 1..96, XmNoteKeyOff
  std::uint8_t instrument = 0; // 0 none, 1..128
  std::uint8_t volume = 0;     // volume column byte
  std::uint8_t effect = 0;
  std::uint8_t param = 0;
};

enum class XmPacking {
  Compact,  // as trackers write: a full cell plain, any other with a mask byte
  Plain,    // every cell as 5 plain bytes
  MaskOnly, // every cell with a mask byte, even full ones
};

struct XmPattern {
  int channels = 4;
  std::vector<XmCell> cells; // row-major, channels per row; rows = cells.size() / channels
  XmPacking packing = XmPacking::Compact;
  // Declared and written (zero-padded or cut); default 9, or 8 in a version 1.02 module.
  std::optional<std::uint32_t> headerLength;
  // Raw rows field instead of the cell rows (version 1.02: its low byte, as rows - 1).
  std::optional<std::uint16_t> rowsField;
  std::optional<std::uint16_t> packedSizeField; // raw packed size instead of the true one
  std::optional<std::size_t> packedBytesKept;   // cut the packed data to this many bytes
                                                // (the size field then says so, too)
  std::optional<std::vector<std::uint8_t>> rawPackedData; // written instead of the cells
  bool emptyAsZeroSize = false; // an all-empty pattern is written with packed size 0

  int rows() const { return channels ? static_cast<int>(cells.size()) / channels : 0; }
  XmCell& at(int row, int channel) { return cells[row * channels + channel]; }
  const XmCell& at(int row, int channel) const { return cells[row * channels + channel]; }
};

struct XmEnvelope {
  struct Point {
    std::uint16_t x; // tick
    std::uint16_t y; // value 0..64
  };
  std::vector<Point> points; // at most 12 are stored
  std::uint8_t sustainPoint = 0;
  std::uint8_t loopStart = 0;
  std::uint8_t loopEnd = 0;
  std::uint8_t type = 0;                       // 1 on, 2 sustain, 4 loop
  std::optional<std::uint8_t> pointCountField; // raw point count instead of points.size()

  static XmEnvelope make(std::vector<Point> points, std::uint8_t type,
                         std::uint8_t sustainPoint = 0, std::uint8_t loopStart = 0,
                         std::uint8_t loopEnd = 0);
};

// The delta table of a 4-bit packed sample unless another is given.
constexpr std::array<std::int8_t, 16> XmDefaultPackTable = {0,   1,   2,   4,  8,  16, 32, 64,
                                                           -128, -64, -32, -16, -8, -4, -2, -1};

struct XmSample {
  std::vector<std::int16_t> values; // plain values: -128..127 for 8-bit samples
  bool sixteenBit = false;
  // 8-bit values stored 4-bit packed (reserved byte 0xAD): the table, then one table index
  // per value whose entry, added to the previous value, gives it. A value the table cannot
  // reach is replaced by the nearest one it can, as a packer would.
  bool fourBitPacked = false;
  std::array<std::int8_t, 16> packTable = XmDefaultPackTable;
  std::uint8_t loopType = 0;    // 0 none, 1 forward, 2 ping-pong (raw bits 0 and 1)
  std::uint32_t loopStart = 0;  // samples
  std::uint32_t loopLength = 0; // samples
  std::uint8_t volume = 64;
  std::int8_t finetune = 0;
  std::uint8_t panning = 128;
  std::int8_t relativeNote = 0;
  std::string name;
  // Raw header fields instead of the computed ones (in bytes, as the file stores them).
  std::optional<std::uint32_t> lengthField;
  std::optional<std::uint32_t> loopStartField;
  std::optional<std::uint32_t> loopLengthField;
  std::optional<std::uint8_t> typeField;
  std::optional<std::uint8_t> reservedField; // instead of 0, or 0xAD when packed
  // Written as the sample's data instead of the delta-encoded values.
  std::optional<std::vector<std::uint8_t>> rawData;

  static XmSample pcm8(std::vector<std::int16_t> values);
  static XmSample pcm16(std::vector<std::int16_t> values);
  static XmSample packed8(std::vector<std::int16_t> values);
  XmSample& loop(std::uint8_t type, std::uint32_t start, std::uint32_t length);
  // Byte length of the data as written.
  std::uint32_t dataBytes() const;
};

struct XmInstrument {
  std::string name;
  std::array<std::uint8_t, 96> sampleForNote{}; // sample index per note
  XmEnvelope volumeEnvelope;
  XmEnvelope panningEnvelope;
  std::uint8_t vibratoType = 0;
  std::uint8_t vibratoSweep = 0;
  std::uint8_t vibratoDepth = 0;
  std::uint8_t vibratoRate = 0;
  std::uint16_t fadeout = 0; // file value
  std::vector<XmSample> samples;
  // Declared and written instrument header size (zero-padded or cut); default 263, or 29
  // for an instrument without samples.
  std::optional<std::uint32_t> headerSize;
  std::uint32_t sampleHeaderSize = 40;           // declared and written
  std::optional<std::uint16_t> sampleCountField; // raw count instead of samples.size()

  static XmInstrument withSample(XmSample sample);
};

struct XmModule {
  std::string name = "test module";
  std::string trackerName = "xm writer";
  std::uint16_t version = 0x0104; // 0x0102 and 0x0103 write the older layouts (above)
  std::uint32_t headerSize = 276; // declared and written (zero-padded or cut)
  std::uint16_t restartPosition = 0;
  std::uint16_t numChannels = 4;
  std::uint16_t flags = 1; // bit 0: linear frequency table
  std::uint16_t defaultSpeed = 6;
  std::uint16_t defaultBpm = 125;
  std::vector<std::uint8_t> orders; // song length is its size unless songLengthField
  std::vector<XmPattern> patterns;
  std::vector<XmInstrument> instruments;
  std::optional<std::uint16_t> songLengthField;
  std::optional<std::uint16_t> patternCountField;    // count declared, patterns still written
  std::optional<std::uint16_t> instrumentCountField; // likewise
  std::string signature = "Extended Module: ";       // written as 17 bytes (cut or zero-padded)

  // Appends an empty pattern of `rows` rows for numChannels channels.
  XmPattern& addPattern(int rows);
};

// Where the parts of a written module start, in bytes from the file's start.
struct XmLayout {
  std::size_t patternsStart = 0;
  std::vector<std::size_t> patternStarts;
  std::vector<std::size_t> instrumentStarts;
  std::vector<std::vector<std::size_t>> sampleDataStarts; // per instrument, per sample
  std::size_t end = 0;
};

std::vector<std::uint8_t> writeXm(const XmModule& module, XmLayout* layout = nullptr);
// A module of one 4-row empty pattern in order 0, with these instruments.
XmModule xmModuleWith(std::vector<XmInstrument> instruments);
// A pattern's packed cell bytes, as writeXm stores them.
std::vector<std::uint8_t> packCells(const XmPattern& pattern);
// Sample values as delta-coded file bytes in the sample's width, or packed.
std::vector<std::uint8_t> encodeSampleData(const XmSample& sample);
// The values a packed sample holds once unpacked: its values, or the nearest the table
// reaches.
std::vector<std::int16_t> packedValues(const XmSample& sample);
