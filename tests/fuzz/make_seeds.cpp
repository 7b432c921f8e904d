// Writes the seed modules of the loader and render fuzz targets (tests/fuzz/corpus/):
//   make_fuzz_seeds tests/fuzz/corpus
// Small modules from the XM-writing test helper, one for each layout and sample kind the
// loader reads and each kind of note, effect, envelope and loop the player plays.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/xmwriter.h"

namespace {

std::vector<std::int16_t> wave(int length, int amplitude, int period) {
  std::vector<std::int16_t> values;
  for (int i = 0; i < length; ++i)
    values.push_back(std::int16_t(std::lround(amplitude * std::sin(6.283185307179586 * i / period))));
  return values;
}

// Two instruments (an 8-bit looping one with envelopes and auto-vibrato, a 16-bit
// ping-pong one) and a pattern of notes and effects over every channel.
XmModule busyModule(std::uint16_t version, int channels) {
  XmInstrument lead = XmInstrument::withSample(XmSample::pcm8(wave(64, 100, 16)).loop(1, 0, 64));
  lead.volumeEnvelope = XmEnvelope::make({{0, 64}, {8, 32}, {20, 48}, {40, 0}}, 1 | 2 | 4, 1, 1, 2);
  lead.panningEnvelope = XmEnvelope::make({{0, 0}, {10, 64}, {20, 32}}, 1 | 4, 0, 0, 2);
  lead.vibratoType = 1, lead.vibratoSweep = 4, lead.vibratoDepth = 6, lead.vibratoRate = 10;
  lead.fadeout = 800;
  XmInstrument bass = XmInstrument::withSample(XmSample::pcm16(wave(200, 20000, 50)).loop(2, 20, 150));
  XmModule module = xmModuleWith({lead, bass});
  module.version = version;
  module.numChannels = std::uint16_t(channels);
  module.patterns.clear();
  module.orders = {0, 1, 0};
  module.restartPosition = 1;
  XmPattern& first = module.addPattern(16);
  const std::uint8_t effects[][2] = {{0x0, 0x37}, {0x1, 0x04}, {0x2, 0x03}, {0x3, 0x08}, {0x4, 0x46},
                                     {0xA, 0x0F}, {0xE, 0x93}, {0x9, 0x10}, {0xC, 0x20}, {0x8, 0xC0}};
  for (int row = 0; row < 16; ++row)
    for (int channel = 0; channel < channels; ++channel) {
      const auto& effect = effects[(row + channel) % 10];
      first.at(row, channel) = {std::uint8_t(row % 4 == 0 ? xmNote((row + channel) % 12, 3 + channel % 3) : 0),
                                std::uint8_t(row % 4 == 0 ? 1 + channel % 2 : 0),
                                std::uint8_t(row % 3 == 0 ? 0x10 + row * 3 : 0), effect[0], effect[1]};
    }
  first.at(15, 0) = {XmNoteKeyOff, 0, 0, 0xF, 0x04};
  XmPattern& second = module.addPattern(8);
  second.at(0, 0) = {xmNote(0, 4), 2, 0, 0xE, 0x62};
  second.at(2, 0) = {0, 0, 0, 0xE, 0x61};
  second.at(4, 1 % channels) = {xmNote(7, 2), 1, 0, 0x9, 0x08};
  second.at(7, 0) = {0, 0, 0, 0xB, 0x00};
  return module;
}

XmModule plainModule() {
  XmModule module = xmModuleWith({XmInstrument::withSample(XmSample::pcm8({0, 40, 80, 40, 0, -40, -80, -40}).loop(1, 0, 8))});
  module.patterns[0].at(0, 0) = {xmNote(0, 4), 1, 0, 0, 0};
  return module;
}

XmModule packedModule() {
  XmModule module = xmModuleWith({XmInstrument::withSample(XmSample::packed8(wave(90, 60, 30)).loop(1, 10, 80))});
  module.patterns[0].at(0, 0) = {xmNote(9, 4), 1, 0, 0, 0};
  return module;
}

bool write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS_DIR (with loader/ and render/ in it)\n");
    return 2;
  }
  const std::string root = argv[1];
  struct Seed {
    const char* name;
    XmModule module;
  };
  const Seed seeds[] = {
      {"plain-1.04.xm", plainModule()},
      {"busy-4ch-1.04.xm", busyModule(0x0104, 4)},
      {"busy-4ch-1.03.xm", busyModule(0x0103, 4)},
      {"busy-2ch-1.02.xm", busyModule(0x0102, 2)},
      {"busy-12ch-1.04.xm", busyModule(0x0104, 12)},
      {"packed-1.04.xm", packedModule()},
  };
  for (const Seed& seed : seeds) {
    const std::vector<std::uint8_t> bytes = writeXm(seed.module);
    for (const char* target : {"loader", "render"})
      if (!write(root + "/" + target + "/" + seed.name, bytes)) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s/%s/%s\n", root.c_str(), target, seed.name);
        return 1;
      }
  }
  return 0;
}
