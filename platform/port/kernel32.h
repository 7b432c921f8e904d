#pragma once
// kernel32 subset: the process heap, sleeping, threads and the module handle.
#include "platform/port/win32types.h"

#define HEAP_ZERO_MEMORY 0x00000008

HANDLE WINAPI GetProcessHeap();
LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, LPVOID block);

// Milliseconds; goes through the port's clock, so the capture backend can run it on
// virtual time.
void WINAPI Sleep(DWORD milliseconds);

typedef DWORD(WINAPI* LPTHREAD_START_ROUTINE)(LPVOID parameter);
#define THREAD_PRIORITY_TIME_CRITICAL 15
HANDLE WINAPI CreateThread(void* attributes, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD creationFlags, DWORD* threadId);
BOOL WINAPI SetThreadPriority(HANDLE thread, int priority);
BOOL WINAPI CloseHandle(HANDLE object);

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
