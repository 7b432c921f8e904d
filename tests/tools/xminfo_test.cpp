// xminfo run on modules written for the test: what it prints and its exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/xmwriter.h"

namespace {

struct ToolRun {
  int status;
  std::string output;
};

ToolRun runXminfoBytes(const std::vector<std::uint8_t>& bytes, const std::string& fileName) {
  const std::string path = std::string(NYRA_BINARY_DIR) + "/" + fileName;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  const std::string command = std::string(NYRA_BINARY_DIR) + "/bin/xminfo '" + path + "' 2>&1";
  ToolRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::remove(path.c_str());
  return run;
}

ToolRun runXminfo(const XmModule& module, const std::string& fileName) {
  return runXminfoBytes(writeXm(module), fileName);
}

bool has(const ToolRun& run, const std::string& text) {
  return run.output.find(text) != std::string::npos;
}

TEST(Xminfo, PrintsHeaderOrdersAndSamples) {
  XmModule module;
  module.name = "inspect me";
  module.numChannels = 6;
  module.flags = 0;
  module.defaultSpeed = 3;
  module.defaultBpm = 140;
  module.restartPosition = 1;
  module.orders = {0, 2, 1};
  module.addPattern(32);
  module.addPattern(16);
  XmInstrument ins;
  ins.name = "pad";
  ins.fadeout = 100;
  ins.samples = {XmSample::pcm16({1, 2, 3}).loop(2, 1, 2), XmSample::pcm8({9})};
  ins.samples[1].finetune = -16;
  ins.samples[1].relativeNote = 12;
  module.instruments = {ins};
  const ToolRun run = runXminfo(module, "xminfo_test_ok.xm");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(has(run, "\"inspect me\"")) << run.output;
  EXPECT_TRUE(has(run, "channels:     6")) << run.output;
  EXPECT_TRUE(has(run, "song length:  3")) << run.output;
  EXPECT_TRUE(has(run, "restart:      1")) << run.output;
  EXPECT_TRUE(has(run, "2 in the file, 3 used by the order list, 3 in all")) << run.output;
  EXPECT_TRUE(has(run, "Amiga frequency table")) << run.output;
  EXPECT_TRUE(has(run, "speed:        3")) << run.output;
  EXPECT_TRUE(has(run, "BPM:          140")) << run.output;
  EXPECT_TRUE(has(run, "  0   2   1")) << run.output;
  EXPECT_TRUE(has(run, "instrument 1 \"pad\": 2 samples, fadeout 200")) << run.output;
  EXPECT_TRUE(has(run, "16-bit, length 3, loop ping-pong start 1 length 2")) << run.output;
  EXPECT_TRUE(has(run, "8-bit, length 1, loop none, volume 64, finetune -16, relative note 12"))
      << run.output;
  EXPECT_TRUE(has(run, "format version 1.04")) << run.output;
  EXPECT_FALSE(has(run, "packed")) << run.output;
  EXPECT_FALSE(has(run, "warning")) << run.output;
}

TEST(Xminfo, ShowsAnOlderVersionAndWhichSamplesWerePacked) {
  XmModule module;
  module.version = 0x0102;
  module.orders = {0};
  module.addPattern(8);
  XmInstrument ins;
  ins.samples = {XmSample::pcm8({1, 2}), XmSample::packed8({0, 1, 3, 7, 15})};
  ins.samples[1].name = "squeezed";
  module.instruments = {ins};
  const ToolRun run = runXminfo(module, "xminfo_test_packed.xm");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(has(run, "format version 1.02")) << run.output;
  EXPECT_TRUE(has(run, "sample 0 \"\": 8-bit, length 2")) << run.output;
  EXPECT_TRUE(has(run, "sample 1 \"squeezed\": 8-bit (4-bit packed), length 5")) << run.output;
}

TEST(Xminfo, SaysWhereACutFileEnds) {
  XmModule module;
  module.orders = {0};
  module.addPattern(8);
  module.instruments = {XmInstrument::withSample(XmSample::pcm8(std::vector<std::int16_t>(50, 3)))};
  XmLayout layout;
  std::vector<std::uint8_t> bytes = writeXm(module, &layout);
  bytes.resize(layout.sampleDataStarts[0][0] + 20);
  const ToolRun run = runXminfoBytes(bytes, "xminfo_test_cut.xm");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(has(run, "length 20 (cut by the end of the file)")) << run.output;
  EXPECT_TRUE(has(run, "the file ends early (inside the data of sample 0 of instrument 1)")) << run.output;
}

TEST(Xminfo, SaysWhyAModuleIsRefused) {
  XmModule module;
  module.orders = {0};
  module.numChannels = 33;
  const ToolRun run = runXminfo(module, "xminfo_test_refused.xm");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has(run, "refused: the module has more than 32 channels (33)")) << run.output;
  module.numChannels = 4;
  module.version = 0x0105;
  const ToolRun unknown = runXminfo(module, "xminfo_test_version.xm");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_TRUE(has(unknown, "refused: the XM format version is 1.05")) << unknown.output;
}

} // namespace
