#pragma once
// winmm subset: the wave-out device (one endlessly looping PCM buffer) and the
// millisecond clock. Names, layouts and values as the platform's own headers give them.
#include "platform/port/win32types.h"

typedef UINT MMRESULT;

struct HWAVEOUT__;
typedef HWAVEOUT__* HWAVEOUT;
typedef HWAVEOUT* LPHWAVEOUT;

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_NOTENABLED 3
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define WAVERR_BADFORMAT 32
#define WAVERR_STILLPLAYING 33
#define WAVERR_UNPREPARED 34

#define WAVE_MAPPER ((UINT)-1)
#define CALLBACK_NULL 0x00000000L
#define WAVE_FORMAT_PCM 1

#define WHDR_DONE 0x00000001
#define WHDR_PREPARED 0x00000002
#define WHDR_BEGINLOOP 0x00000004
#define WHDR_ENDLOOP 0x00000008
#define WHDR_INQUEUE 0x00000010

#define TIME_MS 0x0001
#define TIME_SAMPLES 0x0002
#define TIME_BYTES 0x0004

// The platform packs its multimedia records to 1 byte (18 bytes for WAVEFORMATEX).
#pragma pack(push, 1)
typedef struct tWAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
} WAVEFORMATEX;
typedef WAVEFORMATEX* LPWAVEFORMATEX;
typedef const WAVEFORMATEX* LPCWAVEFORMATEX;

typedef struct wavehdr_tag {
  LPSTR lpData;             // the sample bytes; owned by the caller
  DWORD dwBufferLength;     // bytes
  DWORD dwBytesRecorded;
  DWORD_PTR dwUser;
  DWORD dwFlags;            // WHDR_*
  DWORD dwLoops;            // 0xFFFFFFFF with BEGINLOOP | ENDLOOP: endless
  struct wavehdr_tag* lpNext;
  DWORD_PTR reserved;
} WAVEHDR;
typedef WAVEHDR* LPWAVEHDR;

typedef struct mmtime_tag {
  UINT wType; // TIME_*: asked for; changed to the format actually delivered
  union {
    DWORD ms;
    DWORD sample;
    DWORD cb;
    DWORD ticks;
    struct {
      BYTE hour, min, sec, frame, fps, dummy;
      BYTE pad[2];
    } smpte;
    struct {
      DWORD songptrpos;
    } midi;
  } u;
} MMTIME;
typedef MMTIME* LPMMTIME;
#pragma pack(pop)

static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(MMTIME) == 12);

// Opens the default device (WAVE_MAPPER or device 0) for 16-bit PCM, no callback.
MMRESULT WINAPI waveOutOpen(LPHWAVEOUT handle, UINT deviceId, LPCWAVEFORMATEX format,
                            DWORD_PTR callback, DWORD_PTR instance, DWORD openFlags);
MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT headerSize);
// Only endless loops are played: WHDR_BEGINLOOP | WHDR_ENDLOOP with dwLoops 0xFFFFFFFF.
// The buffer must stay valid until waveOutReset or waveOutClose.
MMRESULT WINAPI waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT headerSize);
// Bytes played since the write (TIME_BYTES); TIME_SAMPLES and TIME_MS also answered.
MMRESULT WINAPI waveOutGetPosition(HWAVEOUT handle, LPMMTIME time, UINT timeSize);
MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT headerSize);
// Ends playback of the queued buffer; it is no longer read once this returns.
MMRESULT WINAPI waveOutReset(HWAVEOUT handle);
MMRESULT WINAPI waveOutClose(HWAVEOUT handle);

// Milliseconds since process start (wraps after 49.7 days), from the port's clock.
DWORD WINAPI timeGetTime();
