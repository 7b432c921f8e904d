// The installable file operations and the player's wrappers over them.
#include "player/modulefile.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Fake operations that record what the wrappers pass and return chosen values.
struct Record {
  const void* openedSource = nullptr;
  void* closedHandle = nullptr;
  void* readDestination = nullptr;
  std::int32_t readCount = 0;
  std::int32_t seekOffset = 0;
  std::uint8_t seekOrigin = 0;
  int calls = 0;
  bool openFails = false;
  std::int32_t readResult = 0;
  std::int32_t tellResult = 0;
};
Record record;
int handleTarget;

void* fakeOpen(const void* source) {
  ++record.calls;
  record.openedSource = source;
  return record.openFails ? nullptr : &handleTarget;
}
std::int32_t fakeClose(void* handle) {
  ++record.calls;
  record.closedHandle = handle;
  return 1;
}
std::int32_t fakeRead(void* destination, std::int32_t count, void* handle) {
  ++record.calls;
  EXPECT_EQ(handle, &handleTarget);
  record.readDestination = destination;
  record.readCount = count;
  return record.readResult;
}
void* fakeSeek(void* handle, std::int32_t offset, std::uint8_t origin) {
  ++record.calls;
  EXPECT_EQ(handle, &handleTarget);
  record.seekOffset = offset;
  record.seekOrigin = origin;
  return handle;
}
std::int32_t fakeTell(void* handle) {
  ++record.calls;
  EXPECT_EQ(handle, &handleTarget);
  return record.tellResult;
}

class ModuleFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    record = {};
    installFileCallbacks(fakeOpen, fakeClose, fakeRead, fakeSeek, fakeTell);
  }
  void TearDown() override { installFileCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr); }
};

TEST_F(ModuleFileTest, CompleteSetIsInstalledAndOneNullClearsAll) {
  EXPECT_TRUE(fileCallbacksInstalled());
  installFileCallbacks(fakeOpen, fakeClose, fakeRead, nullptr, fakeTell);
  EXPECT_FALSE(fileCallbacksInstalled());
  // The earlier complete set is gone too: reinstalling only part of it does not revive it.
  installFileCallbacks(fakeOpen, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(fileCallbacksInstalled());
  installFileCallbacks(fakeOpen, fakeClose, fakeRead, fakeSeek, fakeTell);
  EXPECT_TRUE(fileCallbacksInstalled());
}

TEST_F(ModuleFileTest, OpeningWithoutACompleteSetFailsWithoutCalling) {
  installFileCallbacks(fakeOpen, fakeClose, fakeRead, fakeSeek, nullptr);
  EXPECT_EQ(moduleOpen("song"), nullptr);
  EXPECT_EQ(record.calls, 0);
}

TEST_F(ModuleFileTest, WrappersPassArgumentsAndResultsThrough) {
  const char source[] = "song";
  ModuleFile* file = moduleOpen(source);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(record.openedSource, source);
  EXPECT_EQ(file->handle, &handleTarget);

  char buffer[16];
  record.readResult = 7;
  EXPECT_EQ(moduleRead(buffer, 10, file), 7);
  EXPECT_EQ(record.readDestination, buffer);
  EXPECT_EQ(record.readCount, 10);
  record.readResult = -3; // unchanged, even when odd
  EXPECT_EQ(moduleRead(buffer, 10, file), -3);

  moduleSeek(file, -12345, FileSeekEnd);
  EXPECT_EQ(record.seekOffset, -12345);
  EXPECT_EQ(record.seekOrigin, FileSeekEnd);
  moduleSeek(file, 4, 0x17);
  EXPECT_EQ(record.seekOrigin, 0x17);

  record.tellResult = 991;
  EXPECT_EQ(moduleTell(file), 991);

  moduleClose(file);
  EXPECT_EQ(record.closedHandle, &handleTarget);
}

TEST_F(ModuleFileTest, FailedOpenGivesNullAndNoHandle) {
  record.openFails = true;
  EXPECT_EQ(moduleOpen("missing"), nullptr);
  EXPECT_EQ(record.calls, 1); // open only; close is not called for a handle never made
}

TEST_F(ModuleFileTest, NullFileCallsNothing) {
  char buffer[4];
  EXPECT_EQ(moduleRead(buffer, 4, nullptr), 0);
  EXPECT_EQ(moduleTell(nullptr), 0);
  moduleSeek(nullptr, 1, FileSeekStart);
  moduleClose(nullptr);
  EXPECT_EQ(record.calls, 0);
}

} // namespace
