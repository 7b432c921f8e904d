// The wave-out device and the song's playback life cycle: open, start (prime the whole
// ring, queue it as an endless loop, start the thread), stop, free, and the position
// queries that report the block being heard.
#include "player/player.h"

#include <cstdlib>

#include "platform/mmsystem.h"
#include "player/channel.h"
#include "player/mixer.h"
#include "player/modulefile.h"
#include "player/playback.h"
#include "player/ring.h"

namespace {

constexpr WORD OutputChannels = 2;
constexpr WORD OutputBitsPerSample = 16;
constexpr DWORD EndlessLoops = 0xFFFFFFFF;

HWAVEOUT outputHandle = nullptr;
// The ring the device cycles. It outlives stopSong: the device keeps reading it until it
// is reset (closeOutput, or the next startSong).
WAVEHDR waveHeader{};
// True from startSong until stopSong: the position queries answer only then.
std::atomic<bool> playing{false};

// Frees the device's ring; only once nothing can read it any more.
void releaseDeviceRing() {
  if (!waveHeader.lpData) return;
  if (outputHandle && (waveHeader.dwFlags & WHDR_PREPARED))
    waveOutUnprepareHeader(outputHandle, &waveHeader, sizeof waveHeader);
  std::free(waveHeader.lpData);
  waveHeader = WAVEHDR{};
}

// A fresh zeroed ring for the device, after stopping the device's loop over the old one.
bool replaceDeviceRing() {
  if (waveHeader.lpData && outputHandle) waveOutReset(outputHandle);
  releaseDeviceRing();
  const DWORD bytes = static_cast<DWORD>(ring.ringFrames) * FrameBytes;
  waveHeader.lpData = static_cast<LPSTR>(std::calloc(bytes, 1));
  if (!waveHeader.lpData) return false;
  waveHeader.dwBufferLength = bytes;
  waveHeader.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  waveHeader.dwLoops = EndlessLoops;
  waveOutPrepareHeader(outputHandle, &waveHeader, sizeof waveHeader);
  ring.wave = reinterpret_cast<std::int16_t*>(waveHeader.lpData);
  return true;
}

// One field of the heard block's record. The thread moves heardBlock on before it
// rewrites the block it leaves, but a reader descheduled between reading the index and
// reading the record would get audio two seconds ahead: so the index is read again, and
// the reading retried if it moved. Sequentially consistent on both sides, so that a
// rewritten value read here implies the moved index is seen too.
template <typename Value>
Value readHeard(Song* song, std::atomic<Value> PositionRecord::*field) {
  if (!song || !playing.load(std::memory_order_acquire) || !ring.positions) return 0;
  for (;;) {
    const std::int32_t block = ring.heardBlock.load();
    const Value value = (ring.positions[block].*field).load();
    if (ring.heardBlock.load() == block) return value;
  }
}

} // namespace

bool openOutput(std::int32_t rate) {
  if (!fileCallbacksInstalled()) return false;
  closeOutput();
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = OutputChannels;
  format.nSamplesPerSec = static_cast<DWORD>(rate);
  format.nAvgBytesPerSec = static_cast<DWORD>(rate) * FrameBytes;
  format.nBlockAlign = FrameBytes;
  format.wBitsPerSample = OutputBitsPerSample;
  format.cbSize = 0;
  if (waveOutOpen(&outputHandle, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    outputHandle = nullptr;
    return false;
  }
  configureRing(rate);
  return true;
}

void closeOutput() {
  // The playback thread polls the device: it must be gone before the device is.
  if (playing.load(std::memory_order_acquire)) stopSong(ring.currentSong.load(std::memory_order_acquire));
  if (outputHandle) {
    waveOutReset(outputHandle);
    if (waveHeader.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(outputHandle, &waveHeader, sizeof waveHeader);
    waveOutClose(outputHandle);
    outputHandle = nullptr;
  }
  releaseDeviceRing();
}

bool startSong(Song* song) {
  if (!song || ring.blockCount == 0) return false; // no output opened yet
  stopSong(song);
  if (ring.currentSong.load(std::memory_order_acquire)) return false; // an offline render owns the engine
  resetSongPosition(song);
  if (!allocateRingWork() || !replaceDeviceRing()) {
    releaseRingWork();
    return false;
  }
  ring.currentSong.store(song, std::memory_order_release);
  ring.writeBlock.store(0, std::memory_order_release);
  ring.heardBlock.store(0, std::memory_order_release);
  do fillBlock();
  while (ring.writeBlock.load(std::memory_order_acquire) != 0);
  waveOutWrite(outputHandle, &waveHeader, sizeof waveHeader);
  playing.store(true, std::memory_order_release);
  startPlayback(outputHandle);
  return true;
}

bool stopSong(Song* song) {
  if (!song) return false;
  stopPlayback();
  if (waveHeader.lpData) {
    waveOutUnprepareHeader(outputHandle, &waveHeader, sizeof waveHeader);
    waveHeader.dwFlags &= ~WHDR_PREPARED;
  }
  // Only the live ring is released here: an offline render owns its own.
  if (playing.exchange(false, std::memory_order_acq_rel)) {
    ring.currentSong.store(nullptr, std::memory_order_release);
    releaseRingWork();
    ring.wave = nullptr;
  }
  if (!outputHandle) releaseDeviceRing(); // no device is reading it
  return true;
}

// Voices left ringing with a song's samples when its playback stopped keep pointing at
// them: once the song is freed, the next song's render would mix freed memory. They go
// silent with it.
namespace {
void silenceVoicesOf(const Song& song) {
  for (Voice& voice : voices) {
    if (!voice.sample) continue;
    for (int i = 0; i < song.numInstruments && voice.sample; ++i) {
      const Instrument& instrument = song.instruments[i];
      for (int s = 0; s < instrument.numSamples; ++s)
        if (voice.sample == instrument.samples[s]) voice.sample = nullptr;
    }
  }
}
} // namespace

bool freeSong(Song* song) {
  if (!song) return false;
  waitWhileMixing();
  stopSong(song);
  silenceVoicesOf(*song);
  freeSongData(song);
  return true;
}

int getPlayingOrder(Song* song) { return readHeard(song, &PositionRecord::order); }

int getPlayingRow(Song* song) { return readHeard(song, &PositionRecord::row); }

std::int32_t getPlayingTimeMs(Song* song) { return readHeard(song, &PositionRecord::elapsedMs); }
