// Whole renders, hashed: the embedded song and generated modules that reach the mixer's
// corners (loops of both kinds down to one sample, 16-bit data, high steps, ramps from
// every volume and panning effect, 32 channels with every partner voice busy, clipping,
// other output rates). The hashes were taken from the plain one-frame-pair mixer and
// conversion; any faster path has to give exactly the same samples. The modules are
// built byte by byte here, so that nothing outside this file can change what is heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/embedded.h"
#include "player/mixer.h"
#include "player/render.h"
#include "tests/support/songfile.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// --- XM bytes ---------------------------------------------------------------------------

void put(Bytes& b, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putText(Bytes& b, const std::string& text, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) b.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
}

struct Cell {
  std::uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
};

struct Wave {
  std::vector<std::int16_t> values; // -128..127 unless sixteenBit
  bool sixteenBit = false;
  std::uint8_t loopType = 0; // 0 none, 1 forward, 2 ping-pong
  std::uint32_t loopStart = 0, loopLength = 0; // samples
  std::uint8_t volume = 64, panning = 128;
  std::int8_t relativeNote = 0, finetune = 0;
};

struct Envelope {
  std::vector<std::pair<std::uint16_t, std::uint16_t>> points; // tick, value
  std::uint8_t type = 0, sustain = 0, loopStart = 0, loopEnd = 0;
};

struct Instrument {
  Wave wave;
  Envelope volume, panning;
  std::uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
  std::uint16_t fadeout = 0;
};

struct Module {
  int channels = 4;
  std::uint16_t flags = 1; // linear table
  std::uint16_t speed = 6, bpm = 125;
  int rows = 64;
  std::vector<std::uint8_t> orders;
  std::vector<std::vector<Cell>> patterns; // rows x channels each
  std::vector<Instrument> instruments;
};

void putEnvelopePoints(Bytes& b, const Envelope& e) {
  for (std::size_t i = 0; i < 12; ++i) {
    put(b, i < e.points.size() ? e.points[i].first : 0, 2);
    put(b, i < e.points.size() ? e.points[i].second : 0, 2);
  }
}

void putInstrument(Bytes& b, const Instrument& in) {
  const Wave& w = in.wave;
  const std::uint32_t width = w.sixteenBit ? 2 : 1;
  put(b, 263, 4);
  putText(b, "instrument", 22);
  put(b, 0, 1);
  put(b, 1, 2);  // one sample
  put(b, 40, 4); // sample header size
  for (int k = 0; k < 96; ++k) put(b, 0, 1);
  putEnvelopePoints(b, in.volume);
  putEnvelopePoints(b, in.panning);
  put(b, static_cast<std::uint32_t>(in.volume.points.size()), 1);
  put(b, static_cast<std::uint32_t>(in.panning.points.size()), 1);
  for (std::uint8_t v : {in.volume.sustain, in.volume.loopStart, in.volume.loopEnd, in.panning.sustain,
                         in.panning.loopStart, in.panning.loopEnd, in.volume.type, in.panning.type, in.vibratoType,
                         in.vibratoSweep, in.vibratoDepth, in.vibratoRate})
    put(b, v, 1);
  put(b, in.fadeout, 2);
  for (int k = 0; k < 22; ++k) put(b, 0, 1);
  put(b, static_cast<std::uint32_t>(w.values.size()) * width, 4);
  put(b, w.loopStart * width, 4);
  put(b, w.loopLength * width, 4);
  put(b, w.volume, 1);
  put(b, static_cast<std::uint8_t>(w.finetune), 1);
  put(b, w.loopType | (w.sixteenBit ? 0x10 : 0), 1);
  put(b, w.panning, 1);
  put(b, static_cast<std::uint8_t>(w.relativeNote), 1);
  put(b, 0, 1);
  putText(b, "sample", 22);
  std::int16_t previous = 0;
  for (std::int16_t v : w.values) {
    put(b, static_cast<std::uint16_t>(v - previous), static_cast<int>(width));
    previous = v;
  }
}

Bytes writeModule(const Module& m) {
  Bytes b;
  putText(b, "Extended Module: ", 17);
  putText(b, "hash module", 20);
  put(b, 0x1A, 1);
  putText(b, "hash test", 20);
  put(b, 0x0104, 2);
  put(b, 276, 4);
  put(b, static_cast<std::uint32_t>(m.orders.size()), 2);
  put(b, 0, 2); // restart position
  put(b, static_cast<std::uint32_t>(m.channels), 2);
  put(b, static_cast<std::uint32_t>(m.patterns.size()), 2);
  put(b, static_cast<std::uint32_t>(m.instruments.size()), 2);
  put(b, m.flags, 2);
  put(b, m.speed, 2);
  put(b, m.bpm, 2);
  for (std::size_t i = 0; i < 256; ++i) put(b, i < m.orders.size() ? m.orders[i] : 0, 1);
  for (const std::vector<Cell>& pattern : m.patterns) {
    put(b, 9, 4);
    put(b, 0, 1);
    put(b, static_cast<std::uint32_t>(m.rows), 2);
    put(b, static_cast<std::uint32_t>(pattern.size() * 5), 2);
    for (const Cell& c : pattern)
      for (std::uint8_t v : {c.note, c.instrument, c.volume, c.effect, c.param}) put(b, v, 1);
  }
  for (const Instrument& in : m.instruments) putInstrument(b, in);
  return b;
}

// --- generated content ------------------------------------------------------------------

// A fixed pseudo-random sequence, so that the modules never change.
struct Sequence {
  std::uint32_t state;
  std::uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

std::vector<std::int16_t> noisyWave(int length, int amplitude, std::uint32_t seed, bool sixteenBit) {
  Sequence r{seed};
  std::vector<std::int16_t> values(length);
  const int limit = sixteenBit ? 32767 : 127;
  int v = 0;
  for (int k = 0; k < length; ++k) {
    v += r.below(2 * amplitude + 1) - amplitude;
    if (v > limit) v = limit;
    if (v < -limit - 1) v = -limit - 1;
    values[k] = static_cast<std::int16_t>(v);
  }
  return values;
}

std::vector<std::int16_t> squareWave(int length, int period, int high) {
  std::vector<std::int16_t> values(length);
  for (int k = 0; k < length; ++k) values[k] = static_cast<std::int16_t>((k / (period / 2)) % 2 ? -high - 1 : high);
  return values;
}

Instrument plain(Wave wave) {
  Instrument in;
  in.wave = std::move(wave);
  return in;
}

Wave wave(std::vector<std::int16_t> values, bool sixteenBit, std::uint8_t loopType, std::uint32_t start,
          std::uint32_t length) {
  Wave w;
  w.values = std::move(values);
  w.sixteenBit = sixteenBit;
  w.loopType = loopType;
  w.loopStart = start;
  w.loopLength = length;
  return w;
}

// Patterns of random notes over the instruments, with effects picked from `effects` (pairs
// of effect and parameter ranges), `noteChance` in 100 per cell.
struct EffectChoice {
  std::uint8_t effect, paramLow, paramHigh;
};

void fillPatterns(Module& m, int patterns, std::uint32_t seed, int noteChance, int lowNote, int highNote,
                  const std::vector<EffectChoice>& effects, const std::vector<std::uint8_t>& volumes) {
  Sequence r{seed};
  for (int p = 0; p < patterns; ++p) {
    std::vector<Cell> cells(static_cast<std::size_t>(m.rows * m.channels));
    for (Cell& c : cells) {
      if (r.below(100) < noteChance) {
        c.note = static_cast<std::uint8_t>(lowNote + r.below(highNote - lowNote + 1));
        c.instrument = static_cast<std::uint8_t>(1 + r.below(static_cast<int>(m.instruments.size())));
      } else if (r.below(100) < 3) {
        c.note = 97; // key off
      }
      if (!effects.empty() && r.below(100) < 45) {
        const EffectChoice& e = effects[r.below(static_cast<int>(effects.size()))];
        c.effect = e.effect;
        c.param = static_cast<std::uint8_t>(e.paramLow + r.below(e.paramHigh - e.paramLow + 1));
      }
      if (!volumes.empty() && r.below(100) < 30) c.volume = volumes[r.below(static_cast<int>(volumes.size()))];
    }
    m.patterns.push_back(std::move(cells));
    m.orders.push_back(static_cast<std::uint8_t>(p));
  }
}

// Loops of both kinds and every length down to one sample, 8- and 16-bit, unlooped ends,
// sample offsets, steps from very low to the top of the range, slides and vibrato.
Module loopsModule(std::uint16_t flags) {
  Module m;
  m.channels = 8;
  m.flags = flags;
  m.speed = 3;
  m.bpm = 131; // odd tick lengths
  m.instruments.push_back(plain(wave(noisyWave(3001, 9, 1, false), false, 0, 0, 0)));
  m.instruments.push_back(plain(wave(noisyWave(2000, 7, 2, false), false, 1, 500, 1499)));
  m.instruments.push_back(plain(wave(noisyWave(1500, 900, 3, true), true, 2, 200, 701)));
  m.instruments.push_back(plain(wave(noisyWave(40, 30, 4, false), false, 1, 39, 1)));
  m.instruments.push_back(plain(wave(noisyWave(64, 4000, 5, true), true, 2, 10, 2)));
  m.instruments.push_back(plain(wave(noisyWave(900, 11, 6, false), false, 2, 0, 900)));
  m.instruments.push_back(plain(wave(noisyWave(5, 60, 7, false), false, 1, 0, 5)));
  m.instruments.push_back(plain(wave(noisyWave(7, 9000, 8, true), true, 2, 0, 1)));
  m.instruments[4].wave.relativeNote = 24;
  m.instruments[6].wave.relativeNote = 36; // steps near the top of the range
  m.instruments[7].wave.finetune = -77;
  m.instruments[1].wave.relativeNote = -30; // very slow
  fillPatterns(m, 5, 11, 35, 1, 96,
               {{0x01, 1, 40}, {0x02, 1, 40}, {0x03, 4, 60}, {0x04, 0x11, 0xFF}, {0x09, 0, 8}, {0x00, 0x01, 0xC7},
                {0x21, 0x11, 0x2F}, {0x0E, 0x11, 0x2F}, {0x0E, 0x51, 0x5F}},
               {0x20, 0x40, 0xA8, 0xB4, 0xF3});
  return m;
}

// Every way a gain changes: volume and panning commands and slides in both columns,
// tremolo, tremor, cuts, delays, retriggers, envelopes with sustain and loops, fadeouts,
// global volume, and tempo changes that move the tick boundaries against the ramps.
Module rampsModule() {
  Module m;
  m.channels = 6;
  m.speed = 4;
  m.bpm = 150;
  for (int i = 0; i < 4; ++i) {
    Instrument in = plain(wave(noisyWave(6000 + 977 * i, 5 + 3 * i, 20 + i, i % 2 == 1), i % 2 == 1,
                               static_cast<std::uint8_t>(i % 3), 1000, 3000 + 111 * i));
    in.wave.panning = static_cast<std::uint8_t>(40 + 60 * i);
    in.wave.volume = static_cast<std::uint8_t>(30 + 10 * i);
    if (i != 3) {
      in.volume.points = {{0, 64}, {5, 10}, {9, 60}, {30, 0}};
      in.volume.type = static_cast<std::uint8_t>(i == 0 ? 1 : i == 1 ? 3 : 5);
      in.volume.sustain = 2;
      in.volume.loopStart = 1;
      in.volume.loopEnd = 2;
      in.panning.points = {{0, 0}, {7, 64}, {20, 16}};
      in.panning.type = static_cast<std::uint8_t>(i == 2 ? 0 : 1);
      in.fadeout = static_cast<std::uint16_t>(300 * (i + 1));
    }
    in.vibratoType = static_cast<std::uint8_t>(i);
    in.vibratoDepth = static_cast<std::uint8_t>(3 * i);
    in.vibratoRate = 17;
    in.vibratoSweep = 5;
    m.instruments.push_back(std::move(in));
  }
  fillPatterns(m, 5, 23, 25, 25, 80,
               {{0x0A, 0x01, 0xFF}, {0x0C, 0, 0x40}, {0x08, 0, 0xFF}, {0x07, 0x11, 0xFF}, {0x06, 0x01, 0x3F},
                {0x05, 0x10, 0x3F}, {29, 0x11, 0x55}, {0x0E, 0xC0, 0xC5}, {0x0E, 0xD1, 0xD3}, {0x0E, 0x91, 0x93},
                {0x0E, 0xA1, 0xBF}, {27, 0x11, 0xF3}, {16, 0x10, 0x40}, {17, 0x01, 0x3F}, {25, 0x01, 0xF1},
                {20, 1, 8}, {21, 0, 20}, {0x0F, 2, 8}, {0x0F, 33, 255}, {0x0E, 0x81, 0x8F}},
               {0x10, 0x28, 0x50, 0x63, 0x72, 0x85, 0x93, 0xC4, 0xCC, 0xD3, 0xE2, 0xA3, 0xB5});
  return m;
}

// 32 channels retriggering on nearly every row at speed 2, so both voices of every channel
// sound at once; square waves at hard pannings add up to clipping in both directions.
Module crowdModule() {
  Module m;
  m.channels = 32;
  m.speed = 2;
  m.bpm = 125;
  m.rows = 32;
  for (int i = 0; i < 6; ++i) {
    Instrument in = plain(wave(i < 3 ? squareWave(4000, 40 + 14 * i, i % 2 ? 32767 : 127)
                                     : noisyWave(5000, 20 + 2000 * (i % 2), 40 + i, i % 2 == 1),
                               i % 2 == 1, static_cast<std::uint8_t>(1 + i % 2), 100 * i, 1000 + 333 * i));
    in.wave.panning = static_cast<std::uint8_t>(i * 51);
    in.wave.volume = 10;
    in.volume.points = {{0, 64}, {3, 48}, {12, 64}};
    in.volume.type = 1;
    m.instruments.push_back(std::move(in));
  }
  fillPatterns(m, 3, 37, 80, 30, 70, {{0x0C, 0x02, 0x30}, {0x08, 0, 0xFF}, {0x0A, 0x01, 0x0F}}, {0x14, 0x1C});
  return m;
}

// --- rendering and hashing --------------------------------------------------------------

struct Render {
  std::uint64_t hash = 14695981039346656037ull; // FNV-1a over the samples' little-endian bytes
  std::int64_t frames = 0;
  int peak = 0;            // largest magnitude
  std::int64_t clipped = 0; // samples at either end of the range
};

void addToHash(Render& r, const std::int16_t* samples, std::int64_t count) {
  for (std::int64_t k = 0; k < count; ++k) {
    r.peak = std::max(r.peak, std::abs(int{samples[k]}));
    if (samples[k] == 32767 || samples[k] == -32768) ++r.clipped;
    const auto v = static_cast<std::uint16_t>(samples[k]);
    for (const std::uint8_t byte : {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8)}) {
      r.hash ^= byte;
      r.hash *= 1099511628211ull;
    }
  }
}

// Renders `seconds` of audio at `rate`, or, with seconds 0, up to the song's natural end.
Render renderHash(const Bytes& bytes, std::int32_t rate, std::int64_t seconds) {
  Render result;
  const char* reason = nullptr;
  SongPtr song = loadSongBytes(bytes, nullptr, &reason);
  EXPECT_NE(song, nullptr) << (reason ? reason : "");
  if (!song) return result;
  OfflineRender render;
  EXPECT_TRUE(render.start(song.get(), rate));
  constexpr std::int64_t LongestSeconds = 600;
  const std::int64_t limit = (seconds > 0 ? seconds : LongestSeconds) * rate;
  while (result.frames < limit) {
    const std::int16_t* block = render.nextBlock();
    std::int64_t frames = std::min<std::int64_t>(render.blockFrames(), limit - result.frames);
    const bool ends = seconds == 0 && render.endFrame() >= 0;
    if (ends) frames = std::min(frames, render.endFrame() - result.frames);
    addToHash(result, block, 2 * frames);
    result.frames += frames;
    if (ends) break;
  }
  return result;
}

struct Case {
  const char* name;
  Bytes bytes;
  std::int32_t rate;
  std::int64_t seconds; // 0: to the natural end
  std::uint64_t hash;
  std::int64_t frames;
  std::int64_t clipped; // also recorded: a mismatch there says the loudest parts changed
};

std::vector<Case> cases() {
  const Bytes song(songModule, songModule + songModuleSize);
  return {
      {"embedded song to its end", song, 44100, 0, 0xd7555ce97c0a7766ull, 6773760, 0},
      {"loops, linear table", writeModule(loopsModule(1)), 44100, 40, 0x6a59eca73a52d249ull, 1764000, 95},
      {"loops, amiga table", writeModule(loopsModule(0)), 44100, 40, 0xc7203cd6fe910abcull, 1764000, 80},
      {"ramps", writeModule(rampsModule()), 44100, 40, 0x4e1ba07099dd801full, 1764000, 0},
      {"ramps at 22050", writeModule(rampsModule()), 22050, 20, 0x63673259f7a17c18ull, 441000, 0},
      {"ramps at 48000", writeModule(rampsModule()), 48000, 20, 0xaa83b37395103764ull, 960000, 0},
      {"32 channels", writeModule(crowdModule()), 44100, 30, 0x4e0f8832f14aa01dull, 1323000, 10226},
  };
}

void expectAsRecorded() {
  for (const Case& c : cases()) {
    const Render r = renderHash(c.bytes, c.rate, c.seconds);
    EXPECT_EQ(r.frames, c.frames) << c.name;
    EXPECT_EQ(r.clipped, c.clipped) << c.name;
    EXPECT_EQ(r.hash, c.hash) << c.name << std::hex << ": 0x" << r.hash;
    EXPECT_GT(r.peak, 10000) << c.name; // each case is well above silence
  }
}

TEST(RenderHash, EveryRenderIsExactlyAsRecorded) { expectAsRecorded(); }

// Where the processor has AVX2 the test above ran the eight-frame loop; this one runs the
// four-frame loop every x86-64 processor has.
TEST(RenderHash, TheFourFrameLoopRendersExactlyTheSame) {
  allowWideMixing(false);
  expectAsRecorded();
  allowWideMixing(true);
}

} // namespace
