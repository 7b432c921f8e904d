#pragma once
// The module as the song generator builds it, and its encoding as a FastTracker 2 XM file
// (version 0x0104, packed patterns, one 8-bit delta-coded sample per instrument).
#include <cstdint>
#include <string>
#include <vector>

namespace songgen {

// One cell as written: note 0 = none, 1..96 = C-0..B-7, XmKeyOff = key-off.
struct XmCell {
  std::uint8_t note = 0;
  std::uint8_t instrument = 0; // 1-based; 0 = none
  std::uint8_t volume = 0;     // volume-column byte (0x10 + volume for a set volume)
  std::uint8_t effect = 0;
  std::uint8_t param = 0;
};

constexpr std::uint8_t XmKeyOff = 97;
constexpr int XmChannels = 4;
constexpr int XmRows = 64;

struct XmPattern {
  XmCell cells[XmRows][XmChannels];
};

// Envelope point: x in ticks, y 0..64.
struct XmEnvelopePoint {
  std::uint16_t x;
  std::uint16_t y;
};

// An instrument with exactly one 8-bit sample, mapped to every note.
struct XmInstrument {
  std::string name;
  std::vector<XmEnvelopePoint> volumeEnvelope; // empty: envelope off
  int volumeSustainPoint = -1;                 // -1: no sustain
  std::uint16_t volumeFadeout = 0;             // per tick after key-off, of 65536
  std::uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  // The sample: plain signed 8-bit PCM (delta coding happens on write).
  std::vector<std::int8_t> data;
  bool looped = false; // forward loop over [loopStart, data.size())
  std::uint32_t loopStart = 0;
  std::uint8_t volume = 64;
  std::int8_t finetune = 0;
  std::uint8_t panning = 128;
  std::int8_t relativeNote = 0;
};

struct XmModule {
  std::string name;
  std::uint16_t restartPosition = 0;
  std::uint16_t defaultSpeed = 4;
  std::uint16_t defaultBpm = 125;
  std::vector<std::uint8_t> orders; // pattern number per order position
  std::vector<XmPattern> patterns;
  std::vector<XmInstrument> instruments;
};

// The whole file, byte for byte.
std::vector<std::uint8_t> encodeXm(const XmModule& module);

} // namespace songgen
