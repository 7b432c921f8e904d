// The embedded files are held packed and unpacked at start-up: the arrays must be the
// committed files exactly, the committed pack must be what the packer makes of them
// today, and the packer and unpacker must agree on any input.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/embedded.h"
#include "data/unpack.h"
#include "tools/packer.h"

namespace {

PackBytes readData(const std::string& name) {
  std::ifstream in(std::string(NYRA_SOURCE_DIR) + "/data/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct EmbeddedFile {
  const char* name;
  const unsigned char* bytes;
  int size;
};

// In the pack's order (data/CMakeLists.txt).
const EmbeddedFile Embedded[] = {{"song.xm", songModule, songModuleSize},
                                 {"stone.pcx", stoneImage, stoneImageSize},
                                 {"spot.pcx", spotImage, spotImageSize},
                                 {"sans.pcx", sansGlyphStrip, sansGlyphStripSize},
                                 {"serif.pcx", serifGlyphStrip, serifGlyphStripSize}};

// Packs and unpacks `files`; the unpacked files, or nothing when unpacking refused.
std::vector<PackBytes> roundTrip(const std::vector<PackBytes>& files) {
  const PackBytes pack = packFiles(files);
  std::vector<PackBytes> out;
  std::vector<UnpackTarget> targets;
  for (const PackBytes& file : files) out.emplace_back(file.size(), 0xAA);
  for (PackBytes& file : out) targets.push_back({file.data(), file.size()});
  if (!unpackFiles(pack.data(), pack.size(), targets.data(), static_cast<int>(targets.size()))) return {};
  return out;
}

PackBytes randomBytes(std::size_t size, std::uint32_t seed, int range) {
  std::mt19937 generator(seed);
  PackBytes bytes(size);
  for (auto& b : bytes) b = static_cast<unsigned char>(generator() % range);
  return bytes;
}

} // namespace

TEST(EmbeddedData, EachArrayIsItsCommittedFileOnceUnpacked) {
  ASSERT_TRUE(embeddedDataUnpacked());
  for (const EmbeddedFile& file : Embedded) {
    const PackBytes committed = readData(file.name);
    ASSERT_FALSE(committed.empty()) << file.name;
    EXPECT_TRUE(committed == PackBytes(file.bytes, file.bytes + file.size)) << file.name << " differs";
  }
}

TEST(EmbeddedData, CommittedPackIsWhatThePackerMakesOfTheFiles) {
  std::vector<PackBytes> files;
  for (const EmbeddedFile& file : Embedded) files.push_back(readData(file.name));
  const PackBytes made = packFiles(files);
  EXPECT_TRUE(made == PackBytes(embeddedPack, embeddedPack + embeddedPackSize))
      << "data/embedded.pack is stale: cmake --build build --target repack";
  EXPECT_LT(embeddedPackSize, 26000) << "the pack has grown past what its files compressed to";
}

TEST(Packer, RoundTripsEdgeCases) {
  const std::vector<std::vector<PackBytes>> cases = {
      {},                                              // no file
      {PackBytes{}},                                   // one empty file
      {PackBytes{0}},                                  // one zero byte
      {PackBytes{0xFF}},                               // one byte of ones
      {PackBytes(100000, 0)},                          // a long run: probabilities near the limits
      {PackBytes(5000, 0xFF), PackBytes{}, PackBytes(7, 0x5A)},
      {randomBytes(40000, 1, 256)},                    // incompressible
      {randomBytes(3000, 2, 2), randomBytes(3000, 2, 2)}, // a file that repeats an earlier one
  };
  for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_TRUE(roundTrip(cases[i]) == cases[i]) << "case " << i;
}

TEST(Packer, SamePackForTheSameFilesAndSmallerForRepeats) {
  const std::vector<PackBytes> files = {randomBytes(20000, 3, 16)};
  EXPECT_TRUE(packFiles(files) == packFiles(files));
  const PackBytes once = packFiles({randomBytes(4000, 4, 256)});
  const PackBytes twice = packFiles({randomBytes(4000, 4, 256), randomBytes(4000, 4, 256)});
  EXPECT_LT(twice.size(), once.size() + 400) << "the match model should code the repeat in little";
}

TEST(Unpacker, RefusesAHeaderThatDoesNotFitTheTargets) {
  const PackBytes a(300, 7), b(20, 9);
  const PackBytes pack = packFiles({a, b});
  PackBytes out(320, 0xAA);
  const UnpackTarget right[] = {{out.data(), 300}, {out.data() + 300, 20}};
  const UnpackTarget wrongSize[] = {{out.data(), 301}, {out.data() + 301, 19}};
  EXPECT_FALSE(unpackFiles(pack.data(), pack.size(), right, 1));     // count differs
  EXPECT_FALSE(unpackFiles(pack.data(), pack.size(), wrongSize, 2)); // sizes differ
  EXPECT_FALSE(unpackFiles(pack.data(), 5, right, 2));               // header cut short
  EXPECT_EQ(packedFileCount(pack.data(), 0), -1);
  EXPECT_EQ(packedFileCount(pack.data(), 8), -1);
  EXPECT_TRUE(out == PackBytes(320, 0xAA)) << "a refusal writes nothing";
  EXPECT_TRUE(unpackFiles(pack.data(), pack.size(), right, 2));
  EXPECT_TRUE(PackBytes(out.begin(), out.begin() + 300) == a);
  EXPECT_TRUE(PackBytes(out.begin() + 300, out.end()) == b);
}

// A pack cut short still decodes to the stated size without reading past its end
// (the sanitizer builds check that); the bytes after the cut are then wrong.
TEST(Unpacker, APackCutShortReadsNothingPastItsEnd) {
  const PackBytes file = randomBytes(5000, 5, 4);
  PackBytes pack = packFiles({file});
  pack.resize(pack.size() / 2);
  PackBytes out(file.size());
  const UnpackTarget target{out.data(), out.size()};
  ASSERT_TRUE(unpackFiles(pack.data(), pack.size(), &target, 1));
  EXPECT_FALSE(out == file);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 100, file.begin()));
}
