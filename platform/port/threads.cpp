// CreateThread, SetThreadPriority and CloseHandle over POSIX threads. A thread handle is
// a record of ours; closing it detaches the thread, which keeps running, as on Windows.
#include "platform/port/kernel32.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/port/backend.h"

namespace {

struct ThreadRecord {
  pthread_t thread;
};

// What the new thread needs; it owns and frees this, so the handle may be closed at once.
struct ThreadStart {
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  port::Clock* clock; // told when the thread starts and ends (a virtual clock waits for it)
};

std::mutex registryMutex;
std::unordered_set<ThreadRecord*> liveThreads; // handles not yet closed

std::atomic<DWORD> nextThreadId{1};

void* runThread(void* packet) {
  ThreadStart start = *static_cast<ThreadStart*>(packet);
  delete static_cast<ThreadStart*>(packet);
  start.clock->threadStarted();
  start.start(start.parameter);
  start.clock->threadEnded();
  return nullptr;
}

ThreadRecord* findThread(HANDLE handle) {
  std::lock_guard<std::mutex> lock(registryMutex);
  auto found = liveThreads.find(static_cast<ThreadRecord*>(handle));
  return found == liveThreads.end() ? nullptr : *found;
}

bool startThread(ThreadRecord* record, SIZE_T stackSize, ThreadStart* packet) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  if (stackSize != 0)
    pthread_attr_setstacksize(&attributes, std::max<SIZE_T>(stackSize, PTHREAD_STACK_MIN));
  const bool started = pthread_create(&record->thread, &attributes, runThread, packet) == 0;
  pthread_attr_destroy(&attributes);
  return started;
}

} // namespace

HANDLE WINAPI CreateThread(void* /*attributes*/, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD creationFlags, DWORD* threadId) {
  if (!start || creationFlags != 0) return nullptr; // suspended creation is not needed
  port::Clock& clock = port::clock();
  auto* record = new (std::nothrow) ThreadRecord;
  auto* packet = new (std::nothrow) ThreadStart{start, parameter, &clock};
  clock.threadCreated(); // before the thread can run, so a waiting clock counts it at once
  if (!record || !packet || !startThread(record, stackSize, packet)) {
    delete record;
    delete packet;
    clock.threadEnded();
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    liveThreads.insert(record);
  }
  if (threadId) *threadId = nextThreadId.fetch_add(1, std::memory_order_relaxed);
  return record;
}

BOOL WINAPI SetThreadPriority(HANDLE thread, int priority) {
  ThreadRecord* record = findThread(thread);
  if (!record) return FALSE;
  if (priority == THREAD_PRIORITY_TIME_CRITICAL) {
    // Best effort: real-time scheduling needs privileges a user may not have.
    sched_param parameters{};
    parameters.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(record->thread, SCHED_FIFO, &parameters);
  }
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE object) {
  ThreadRecord* record = nullptr;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto found = liveThreads.find(static_cast<ThreadRecord*>(object));
    if (found == liveThreads.end()) return FALSE;
    record = *found;
    liveThreads.erase(found);
  }
  pthread_detach(record->thread);
  delete record;
  return TRUE;
}
