// busymod CHANNELS ORDERS OUT.xm: writes a busy XM module for speed comparisons between
// module players: CHANNELS channels (1..32) each starting a note every two or three
// rows, over ORDERS patterns of 64 rows at speed 6 and 125 BPM (7.68 s each). The
// instruments cover what a player's inner loops meet: 8- and 16-bit samples, forward and
// ping-pong loops, unlooped one-shots, volume envelopes with sustain and fadeout, and the
// effects that move pitch, volume and panning every tick. The same arguments give the same
// bytes on every machine.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int Rows = 64;
constexpr int MaxChannels = 32;
constexpr int MaxOrders = 200;
constexpr int InstrumentCount = 6;

void put(Bytes& b, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putText(Bytes& b, const char* text, std::size_t width) {
  const std::string s(text);
  for (std::size_t i = 0; i < width; ++i) b.push_back(i < s.size() ? static_cast<std::uint8_t>(s[i]) : 0);
}

struct Random {
  std::uint32_t state;
  int below(int n) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(n));
  }
};

struct SampleSpec {
  int length;
  bool sixteenBit;
  std::uint8_t loopType; // 0 none, 1 forward, 2 ping-pong
  int loopStart, loopLength;
  int period;     // of the waveform, in samples
  bool envelope;  // volume envelope with sustain, and a fadeout
};

const SampleSpec Samples[InstrumentCount] = {
    {8000, false, 1, 2000, 6000, 64, true},  {12000, true, 2, 4000, 7000, 100, true},
    {20000, false, 0, 0, 0, 50, false},      {6000, true, 1, 1000, 5000, 37, false},
    {16000, false, 2, 8000, 8000, 80, true}, {30000, true, 0, 0, 0, 120, true},
};

// A waveform with some harmonics and a slow decay, as 8- or 16-bit values.
std::vector<std::int32_t> waveform(const SampleSpec& s, int seed) {
  Random r{static_cast<std::uint32_t>(seed)};
  std::vector<std::int32_t> values(static_cast<std::size_t>(s.length));
  const int top = s.sixteenBit ? 20000 : 80;
  for (int k = 0; k < s.length; ++k) {
    const int phase = k % s.period;
    const int saw = (2 * phase - s.period) * top / s.period;
    const int square = phase < s.period / 2 ? top / 3 : -top / 3;
    const int noise = r.below(top / 8 + 1) - top / 16;
    values[k] = (saw + square) / 2 + noise;
  }
  return values;
}

void putInstrument(Bytes& b, const SampleSpec& s, int index) {
  const std::uint32_t width = s.sixteenBit ? 2 : 1;
  put(b, 263, 4);
  putText(b, "busy", 22);
  put(b, 0, 1);
  put(b, 1, 2);
  put(b, 40, 4);
  for (int k = 0; k < 96; ++k) put(b, 0, 1);
  const std::uint16_t volumePoints[4][2] = {{0, 64}, {6, 44}, {20, 52}, {60, 0}};
  for (int p = 0; p < 12; ++p) {
    put(b, p < 4 ? volumePoints[p][0] : 0, 2);
    put(b, p < 4 ? volumePoints[p][1] : 0, 2);
  }
  for (int p = 0; p < 12; ++p) put(b, 0, 4); // no panning envelope
  put(b, s.envelope ? 4 : 0, 1);
  put(b, 0, 1);
  for (std::uint8_t v : {2, 0, 0, 0, 0, 0}) put(b, v, 1); // sustain at point 2
  put(b, s.envelope ? 3 : 0, 1);                            // on, sustain
  put(b, 0, 1);
  for (std::uint8_t v : {0, 8, 4, 24}) put(b, v, 1); // auto-vibrato: sine, sweep, depth, rate
  put(b, s.envelope ? 800 : 0, 2);
  for (int k = 0; k < 22; ++k) put(b, 0, 1);
  put(b, static_cast<std::uint32_t>(s.length) * width, 4);
  put(b, static_cast<std::uint32_t>(s.loopStart) * width, 4);
  put(b, static_cast<std::uint32_t>(s.loopLength) * width, 4);
  put(b, 48, 1);                                     // volume
  put(b, 0, 1);                                      // finetune
  put(b, s.loopType | (s.sixteenBit ? 0x10 : 0), 1); // type
  put(b, static_cast<std::uint32_t>(48 + 32 * index), 1);
  put(b, 0, 1); // relative note
  put(b, 0, 1);
  putText(b, "busy", 22);
  std::int32_t previous = 0;
  for (std::int32_t v : waveform(s, index + 1)) {
    put(b, static_cast<std::uint32_t>(v - previous), static_cast<int>(width));
    previous = v;
  }
}

// One pattern: every channel starts a note every two or three rows, with an effect on
// most rows in between.
void putPattern(Bytes& b, int channels, Random& r) {
  Bytes cells;
  const std::uint8_t effects[][3] = {{0x04, 0x24, 0x48}, {0x0A, 0x01, 0x04}, {0x0A, 0x10, 0x30},
                                     {0x01, 0x02, 0x08}, {0x02, 0x02, 0x08}, {0x08, 0x20, 0xE0},
                                     {0x03, 0x08, 0x20}, {0x07, 0x24, 0x46}, {0x00, 0x37, 0x47}};
  std::vector<int> next(static_cast<std::size_t>(channels), 0);
  for (int row = 0; row < Rows; ++row)
    for (int ch = 0; ch < channels; ++ch) {
      std::uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
      if (row == next[ch]) {
        note = static_cast<std::uint8_t>(37 + r.below(36));
        instrument = static_cast<std::uint8_t>(1 + (ch + r.below(2)) % InstrumentCount);
        next[ch] = row + 2 + r.below(2);
        if (r.below(4) == 0) volume = static_cast<std::uint8_t>(0x10 + 24 + r.below(40));
      }
      if (r.below(4) != 0) {
        const auto& e = effects[r.below(static_cast<int>(sizeof effects / sizeof effects[0]))];
        effect = e[0];
        param = static_cast<std::uint8_t>(e[1] + r.below(e[2] - e[1] + 1));
        if (effect == 0x03 && note == 0) effect = 0x04; // a glide needs a target
      }
      // Packed: a mask byte, then only the fields present.
      const std::uint8_t mask = static_cast<std::uint8_t>(0x80 | (note ? 1 : 0) | (instrument ? 2 : 0) |
                                                          (volume ? 4 : 0) | (effect ? 8 : 0) | (param ? 16 : 0));
      cells.push_back(mask);
      for (std::uint8_t v : {note, instrument, volume, effect, param})
        if (v) cells.push_back(v);
    }
  put(b, 9, 4);
  put(b, 0, 1);
  put(b, Rows, 2);
  put(b, static_cast<std::uint32_t>(cells.size()), 2);
  b.insert(b.end(), cells.begin(), cells.end());
}

Bytes busyModule(int channels, int orders) {
  Bytes b;
  putText(b, "Extended Module: ", 17);
  putText(b, "busy module", 20);
  put(b, 0x1A, 1);
  putText(b, "busymod", 20);
  put(b, 0x0104, 2);
  put(b, 276, 4);
  put(b, static_cast<std::uint32_t>(orders), 2);
  put(b, 0, 2); // restart
  put(b, static_cast<std::uint32_t>(channels), 2);
  put(b, static_cast<std::uint32_t>(orders), 2); // one pattern per order
  put(b, InstrumentCount, 2);
  put(b, 1, 2); // linear table
  put(b, 6, 2);
  put(b, 125, 2);
  for (int i = 0; i < 256; ++i) put(b, i < orders ? static_cast<std::uint32_t>(i) : 0, 1);
  Random r{static_cast<std::uint32_t>(channels * 7919)};
  for (int p = 0; p < orders; ++p) putPattern(b, channels, r);
  for (int i = 0; i < InstrumentCount; ++i) putInstrument(b, Samples[i], i);
  return b;
}

} // namespace

int main(int argc, char** argv) {
  const int channels = argc == 4 ? std::atoi(argv[1]) : 0;
  const int orders = argc == 4 ? std::atoi(argv[2]) : 0;
  if (channels < 1 || channels > MaxChannels || orders < 1 || orders > MaxOrders) {
    std::fprintf(stderr, "usage: busymod CHANNELS(1-32) ORDERS(1-200) OUT.xm\n");
    return 2;
  }
  const Bytes bytes = busyModule(channels, orders);
  std::FILE* out = std::fopen(argv[3], "wb");
  const bool written = out && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (!out || std::fclose(out) != 0 || !written) {
    std::fprintf(stderr, "busymod: could not write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
