// The wave-out device over port::AudioDevice: one queued header at a time, played as an
// endless loop, with the play position counted in bytes since the write.
#include "platform/port/winmm.h"

#include "platform/port/audio.h"
#include "platform/port/testhooks.h"

#include <memory>
#include <new>

struct HWAVEOUT__ {
  std::unique_ptr<port::AudioDevice> device;
  WAVEHDR* queued = nullptr;        // the header being played, if any
  DWORD bytesPerSecond = 0;
  WORD bytesPerFrame = 0;
};

namespace {

constexpr DWORD EndlessLoops = 0xFFFFFFFF;
constexpr DWORD LoopFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
constexpr WORD PcmBitsPerSample = 16;
constexpr WORD MaxChannels = 2;
constexpr DWORD MillisecondsPerSecond = 1000;

bool formatSupported(const WAVEFORMATEX& f) {
  return f.wFormatTag == WAVE_FORMAT_PCM && f.wBitsPerSample == PcmBitsPerSample &&
         f.nChannels >= 1 && f.nChannels <= MaxChannels && f.nSamplesPerSec > 0 &&
         f.nBlockAlign == f.nChannels * (PcmBitsPerSample / 8) &&
         f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

bool headerUsable(const WAVEHDR* header, UINT headerSize) {
  return header && headerSize >= sizeof(WAVEHDR);
}

} // namespace

MMRESULT WINAPI waveOutOpen(LPHWAVEOUT handle, UINT deviceId, LPCWAVEFORMATEX format,
                            DWORD_PTR /*callback*/, DWORD_PTR /*instance*/, DWORD openFlags) {
  if (!handle || !format) return MMSYSERR_INVALPARAM;
  *handle = nullptr;
  if (port::shouldFail(port::FailPoint::WaveOutOpen)) return MMSYSERR_NODRIVER;
  if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
  if (openFlags != CALLBACK_NULL) return MMSYSERR_NOTSUPPORTED;
  if (!formatSupported(*format)) return WAVERR_BADFORMAT;

  port::AudioFormat wanted;
  wanted.framesPerSecond = format->nSamplesPerSec;
  wanted.channels = format->nChannels;
  wanted.bitsPerSample = format->wBitsPerSample;
  std::unique_ptr<HWAVEOUT__> out(new (std::nothrow) HWAVEOUT__);
  if (!out) return MMSYSERR_NOMEM;
  out->device = port::audioBackend().open(wanted);
  if (!out->device) return MMSYSERR_NODRIVER;
  out->bytesPerSecond = format->nAvgBytesPerSec;
  out->bytesPerFrame = format->nBlockAlign;
  *handle = out.release();
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutPrepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT headerSize) {
  if (!handle) return MMSYSERR_INVALHANDLE;
  if (!headerUsable(header, headerSize) || !header->lpData) return MMSYSERR_INVALPARAM;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutWrite(HWAVEOUT handle, LPWAVEHDR header, UINT headerSize) {
  if (!handle) return MMSYSERR_INVALHANDLE;
  if (!headerUsable(header, headerSize)) return MMSYSERR_INVALPARAM;
  if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (handle->queued || (header->dwFlags & LoopFlags) != LoopFlags || header->dwLoops != EndlessLoops)
    return MMSYSERR_NOTSUPPORTED;
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  handle->queued = header;
  handle->device->playLoop(reinterpret_cast<const std::uint8_t*>(header->lpData), header->dwBufferLength);
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutGetPosition(HWAVEOUT handle, LPMMTIME time, UINT timeSize) {
  if (!handle) return MMSYSERR_INVALHANDLE;
  if (!time || timeSize < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
  const std::uint64_t bytes = handle->device->bytesPlayed();
  switch (time->wType) {
  case TIME_SAMPLES:
    time->u.sample = static_cast<DWORD>(bytes / handle->bytesPerFrame);
    break;
  case TIME_MS:
    time->u.ms = static_cast<DWORD>(bytes * MillisecondsPerSecond / handle->bytesPerSecond);
    break;
  default: // formats the device does not keep are answered in bytes, as the platform does
    time->wType = TIME_BYTES;
    time->u.cb = static_cast<DWORD>(bytes);
    break;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutUnprepareHeader(HWAVEOUT handle, LPWAVEHDR header, UINT headerSize) {
  if (!handle) return MMSYSERR_INVALHANDLE;
  if (!headerUsable(header, headerSize)) return MMSYSERR_INVALPARAM;
  if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutReset(HWAVEOUT handle) {
  if (!handle) return MMSYSERR_INVALHANDLE;
  handle->device->stop();
  if (handle->queued) {
    handle->queued->dwFlags = (handle->queued->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
    handle->queued = nullptr;
  }
  return MMSYSERR_NOERROR;
}

MMRESULT WINAPI waveOutClose(HWAVEOUT handle) {
  if (!handle) return MMSYSERR_INVALHANDLE;
  if (handle->queued) return WAVERR_STILLPLAYING;
  delete handle; // the device's destructor stops its audio thread
  return MMSYSERR_NOERROR;
}
