#include "content/heap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/port/backend.h"
#include "platform/win32.h"

namespace {

TEST(MemAlloc, BlocksAreZeroFilled) {
  for (std::size_t bytes : {1u, 7u, 64u, 4096u, 100000u}) {
    auto* block = static_cast<unsigned char*>(memAlloc(bytes));
    ASSERT_NE(block, nullptr);
    for (std::size_t i = 0; i < bytes; ++i) ASSERT_EQ(block[i], 0) << bytes << " bytes, at " << i;
    EXPECT_TRUE(memFree(block));
  }
}

TEST(MemAlloc, SixteenSpareBytesGuardEachSide) {
  // Writing into the guard bytes must stay inside the heap block (checked by the
  // address sanitizer build).
  auto* block = static_cast<unsigned char*>(memAlloc(10));
  ASSERT_NE(block, nullptr);
  std::memset(block - HeapGuardBytes, 0xAB, 10 + 2 * HeapGuardBytes);
  EXPECT_EQ(block[-16], 0xAB);
  EXPECT_EQ(block[10 + 15], 0xAB);
  EXPECT_TRUE(memFree(block));
}

TEST(MemAlloc, ZeroBytesIsAValidBlock) {
  void* block = memAlloc(0);
  ASSERT_NE(block, nullptr);
  EXPECT_TRUE(memFree(block));
}

TEST(MemAlloc, SizeThatWouldWrapIsRefused) {
  EXPECT_EQ(memAlloc(SIZE_MAX), nullptr);
  EXPECT_EQ(memAlloc(SIZE_MAX - 2 * HeapGuardBytes + 1), nullptr);
}

TEST(MemFree, NullIsHarmless) { EXPECT_TRUE(memFree(nullptr)); }

TEST(CopyWords, CopiesWholeWordsOnly) {
  const unsigned char source[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  unsigned char destination[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  copyWords(destination, source, 7);
  const unsigned char expected[8] = {1, 2, 3, 4, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(destination, expected, 8));
  copyWords(destination, source, 3);
  EXPECT_EQ(destination[4], 0);
  copyWords(destination, source, 8);
  EXPECT_EQ(0, std::memcmp(destination, source, 8));
}

class RecordingClock final : public port::Clock {
public:
  std::vector<std::uint32_t> sleeps;
  std::uint32_t nowMs() override { return 0; }
  void sleepMs(std::uint32_t ms) override { sleeps.push_back(ms); }
};

TEST(Sleep, GoesThroughThePortClock) {
  RecordingClock clock;
  port::setClock(&clock);
  Sleep(25);
  Sleep(0);
  port::setClock(nullptr);
  EXPECT_EQ(clock.sleeps, (std::vector<std::uint32_t>{25, 0}));
}

} // namespace
