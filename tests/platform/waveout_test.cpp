// The wave-out names over the audio seam: formats, header flags, positions, failures.
#include <gtest/gtest.h>

#include <vector>

#include "platform/mmsystem.h"
#include "platform/port/testhooks.h"
#include "tests/support/fakeaudio.h"

namespace {

WAVEFORMATEX pcm16(DWORD rate, WORD channels = 2) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.nBlockAlign = static_cast<WORD>(channels * 2);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  f.wBitsPerSample = 16;
  return f;
}

TEST(WaveOut, OpensTheDefaultDeviceForPcm16Only) {
  FakeAudioBackend backend;
  HWAVEOUT out = nullptr;
  WAVEFORMATEX format = pcm16(44100);
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  EXPECT_EQ(backend.lastFormat().framesPerSecond, 44100u);
  EXPECT_EQ(backend.lastFormat().channels, 2);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  HWAVEOUT other = nullptr;
  format.wBitsPerSample = 8;
  EXPECT_EQ(waveOutOpen(&other, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
  format = pcm16(44100);
  format.nAvgBytesPerSec = 1;
  EXPECT_EQ(waveOutOpen(&other, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), WAVERR_BADFORMAT);
  format = pcm16(44100);
  EXPECT_EQ(waveOutOpen(&other, 3, &format, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(backend.calls(), (std::vector<std::string>{"open", "close"}));
}

TEST(WaveOut, InjectedOpenFailureReportsAnMmsyserrCode) {
  FakeAudioBackend backend;
  port::setFailure(port::FailPoint::WaveOutOpen, true);
  HWAVEOUT out = nullptr;
  const WAVEFORMATEX format = pcm16(44100);
  const MMRESULT result = waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
  port::setFailure(port::FailPoint::WaveOutOpen, false);
  EXPECT_NE(result, MMSYSERR_NOERROR);
  EXPECT_LT(result, WAVERR_BADFORMAT); // an MMSYSERR_ code
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(backend.calls().empty());
}

TEST(WaveOut, EndlessLoopHeaderLifecycle) {
  FakeAudioBackend backend;
  HWAVEOUT out = nullptr;
  const WAVEFORMATEX format = pcm16(44100);
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  std::vector<char> buffer(4000);
  WAVEHDR header{};
  header.lpData = buffer.data();
  header.dwBufferLength = 4000;
  header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
  header.dwLoops = 0xFFFFFFFF;
  EXPECT_EQ(waveOutWrite(out, &header, sizeof header), WAVERR_UNPREPARED);
  ASSERT_EQ(waveOutPrepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
  EXPECT_TRUE(header.dwFlags & WHDR_PREPARED);
  ASSERT_EQ(waveOutWrite(out, &header, sizeof header), MMSYSERR_NOERROR);
  EXPECT_TRUE(header.dwFlags & WHDR_INQUEUE);
  EXPECT_EQ(backend.ring(), reinterpret_cast<const std::uint8_t*>(buffer.data()));

  backend.setBytesPlayed(1000000);
  MMTIME time{};
  time.wType = TIME_BYTES;
  ASSERT_EQ(waveOutGetPosition(out, &time, sizeof time), MMSYSERR_NOERROR);
  EXPECT_EQ(time.u.cb, 1000000u);
  time.wType = TIME_SAMPLES;
  waveOutGetPosition(out, &time, sizeof time);
  EXPECT_EQ(time.u.sample, 250000u);
  time.wType = TIME_MS;
  waveOutGetPosition(out, &time, sizeof time);
  EXPECT_EQ(time.u.ms, 5668u);

  EXPECT_EQ(waveOutUnprepareHeader(out, &header, sizeof header), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveOutClose(out), WAVERR_STILLPLAYING);
  ASSERT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
  EXPECT_TRUE(header.dwFlags & WHDR_DONE);
  EXPECT_FALSE(header.dwFlags & WHDR_INQUEUE);
  EXPECT_EQ(backend.ring(), nullptr); // the device no longer reads the buffer
  EXPECT_EQ(waveOutUnprepareHeader(out, &header, sizeof header), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  EXPECT_EQ(backend.calls(), (std::vector<std::string>{"open", "play 4000", "stop", "close"}));
}

TEST(WaveOut, OnlyEndlessLoopsArePlayed) {
  FakeAudioBackend backend;
  HWAVEOUT out = nullptr;
  const WAVEFORMATEX format = pcm16(22050);
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
  std::vector<char> buffer(400);
  WAVEHDR header{};
  header.lpData = buffer.data();
  header.dwBufferLength = 400;
  waveOutPrepareHeader(out, &header, sizeof header);
  EXPECT_EQ(waveOutWrite(out, &header, sizeof header), MMSYSERR_NOTSUPPORTED);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutReset(nullptr), MMSYSERR_INVALHANDLE);
}

} // namespace
