// CreateThread, SetThreadPriority and CloseHandle over POSIX threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/win32.h"

namespace {

std::atomic<int> seen{0};

DWORD WINAPI record(LPVOID parameter) {
  seen.store(*static_cast<int*>(parameter), std::memory_order_release);
  return 0;
}

TEST(Threads, CreateThreadRunsTheRoutineWithItsParameter) {
  int value = 42;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, record, &value, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL)); // best effort, still TRUE
  for (int i = 0; i < 2000 && seen.load(std::memory_order_acquire) != 42; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(seen.load(), 42);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_FALSE(CloseHandle(thread)); // closed already
}

TEST(Threads, UnknownHandlesAreRefused) {
  int other = 0;
  EXPECT_FALSE(SetThreadPriority(&other, THREAD_PRIORITY_TIME_CRITICAL));
  EXPECT_FALSE(CloseHandle(&other));
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
}

} // namespace
