// The program's in-memory file operations, alone and as the player's file operations.
#include "direction/memoryfile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <numeric>
#include <vector>

#include "data/embedded.h"
#include "player/modulefile.h"
#include "player/song.h"
#include "tests/support/xmwriter.h"

namespace {

class MemoryFileTest : public ::testing::Test {
protected:
  MemoryFileTest() : bytes(100) { std::iota(bytes.begin(), bytes.end(), 1); }
  void SetUp() override {
    file = openMemoryFile(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  }
  void TearDown() override { EXPECT_TRUE(memoryClose(file)); }

  std::vector<std::uint8_t> bytes;
  MemoryFile* file = nullptr;
};

TEST_F(MemoryFileTest, OpensAtTheStartWithTheGivenSize) {
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size, 100);
  EXPECT_EQ(file->position, 0);
  EXPECT_EQ(file->data, bytes.data());
  EXPECT_EQ(memoryTell(file), 0);
}

TEST_F(MemoryFileTest, ReadStraddlingTheEndDeliversTheRestThenNothing) {
  memorySeek(file, 95, FileSeekStart);
  std::uint8_t out[10];
  std::memset(out, 0xEE, sizeof out);
  EXPECT_EQ(memoryRead(out, 10, file), 5);
  EXPECT_EQ(memoryTell(file), 100);
  const std::uint8_t expected[10] = {96, 97, 98, 99, 100, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(0, std::memcmp(out, expected, 10)); // nothing beyond the delivered bytes
  EXPECT_EQ(memoryRead(out, 10, file), 0);
  EXPECT_EQ(memoryTell(file), 100);
}

TEST_F(MemoryFileTest, NegativeOrZeroCountDeliversNothing) {
  memorySeek(file, 10, FileSeekStart);
  std::uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(memoryRead(out, -5, file), 0);
  EXPECT_EQ(memoryRead(out, INT_MIN, file), 0);
  EXPECT_EQ(memoryRead(out, 0, file), 0);
  EXPECT_EQ(memoryTell(file), 10);
  EXPECT_EQ(out[0], 0xEE);
}

TEST_F(MemoryFileTest, HugeCountDoesNotOverflowThePosition) {
  memorySeek(file, 50, FileSeekStart);
  std::vector<std::uint8_t> out(100);
  EXPECT_EQ(memoryRead(out.data(), INT_MAX, file), 50);
  EXPECT_EQ(out[0], 51);
  EXPECT_EQ(memoryTell(file), 100);
}

TEST_F(MemoryFileTest, SeeksFromEachOriginAndClampsIntoTheFile) {
  EXPECT_EQ(memorySeek(file, 0, FileSeekEnd), file);
  EXPECT_EQ(memoryTell(file), 100);
  memorySeek(file, -30, FileSeekEnd);
  EXPECT_EQ(memoryTell(file), 70);
  memorySeek(file, 5, FileSeekCurrent);
  EXPECT_EQ(memoryTell(file), 75);
  memorySeek(file, -80, FileSeekCurrent);
  EXPECT_EQ(memoryTell(file), 0);
  memorySeek(file, 1000, FileSeekStart);
  EXPECT_EQ(memoryTell(file), 100);
  memorySeek(file, -1, FileSeekStart);
  EXPECT_EQ(memoryTell(file), 0);
  memorySeek(file, 1, FileSeekEnd);
  EXPECT_EQ(memoryTell(file), 100);
}

TEST_F(MemoryFileTest, UnknownOriginLeavesThePosition) {
  memorySeek(file, 40, FileSeekStart);
  memorySeek(file, 3, 3);
  memorySeek(file, 3, 255);
  EXPECT_EQ(memoryTell(file), 40);
}

TEST_F(MemoryFileTest, ExtremeOffsetsDoNotWrap) {
  memorySeek(file, 60, FileSeekStart);
  memorySeek(file, INT_MAX, FileSeekCurrent);
  EXPECT_EQ(memoryTell(file), 100);
  memorySeek(file, INT_MAX, FileSeekEnd);
  EXPECT_EQ(memoryTell(file), 100);
  memorySeek(file, INT_MIN, FileSeekCurrent);
  EXPECT_EQ(memoryTell(file), 0);
}

TEST(MemoryFile, EmptyAndNegativeSizesReadNothing) {
  MemoryFile* empty = openMemoryFile(nullptr, 0);
  MemoryFile* negative = openMemoryFile(nullptr, -8);
  std::uint8_t out[2];
  EXPECT_EQ(memoryRead(out, 2, empty), 0);
  EXPECT_EQ(negative->size, 0);
  EXPECT_EQ(memoryRead(out, 2, negative), 0);
  memorySeek(negative, 0, FileSeekEnd);
  EXPECT_EQ(memoryTell(negative), 0);
  memoryClose(empty);
  memoryClose(negative);
}

TEST(MemoryFile, MemoryOpenPresentsTheEmbeddedModuleWhateverTheSource) {
  for (const void* source : {static_cast<const void*>(""), static_cast<const void*>(nullptr)}) {
    auto* file = static_cast<MemoryFile*>(memoryOpen(source));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->size, songModuleSize);
    EXPECT_EQ(file->data, songModule);
    EXPECT_EQ(file->position, 0);
    char signature[17];
    EXPECT_EQ(memoryRead(signature, 17, file), 17);
    EXPECT_EQ(0, std::memcmp(signature, "Extended Module: ", 17));
    EXPECT_TRUE(memoryClose(file));
  }
}

// The loader reading through the memory file operations.
std::vector<std::uint8_t> moduleBytes;
void* openModuleBytes(const void*) {
  return openMemoryFile(moduleBytes.data(), static_cast<std::int32_t>(moduleBytes.size()));
}

TEST(MemoryFile, ServesTheLoaderAsThePlayersFileOperations) {
  XmModule module;
  module.orders = {0};
  module.addPattern(8).at(7, 3) = {25, 1, 0x30, 0x0A, 0x0F};
  module.instruments.push_back(XmInstrument::withSample(XmSample::pcm16({5, -5, 500})));
  moduleBytes = writeXm(module);
  installFileCallbacks(openModuleBytes, memoryClose, memoryRead, memorySeek, memoryTell);
  Song* song = createSong("", nullptr);
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->patterns[0].cells[7 * 4 + 3].note, 25);
  EXPECT_EQ(song->instruments[0].samples[0]->data[2], 500);
  freeSongData(song);
  moduleBytes.resize(62); // cut before the song length: refused
  EXPECT_EQ(createSong("", nullptr), nullptr);
}

} // namespace
