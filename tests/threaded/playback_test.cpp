// The playback engine on a fake device whose play position the test moves: priming, the
// thread's refresh behind the cursor, the position queries, stop, restart and close.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/port/testhooks.h"
#include "player/mixer.h"
#include "player/modulefile.h"
#include "player/player.h"
#include "player/render.h"
#include "player/ring.h"
#include "tests/support/fakeaudio.h"
#include "tests/support/playerkit.h"

namespace {

constexpr std::uint64_t BlockBytes = 884 * 4;
constexpr int RingValues = 88400 * 2;

template <typename Condition>
bool waitFor(Condition condition, int timeoutMs = 3000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A song with something to hear: a saw note retriggered every row at speed 1.
XmModule busyModule() {
  XmModule module = constantModule(2, 64);
  module.instruments[0] = XmInstrument::withSample(sawSample(3000).loop(1, 100, 2000));
  module.defaultSpeed = 1;
  for (int r = 0; r < 64; ++r) module.patterns[0].at(r, r % 2) = {static_cast<std::uint8_t>(40 + r % 12), 1, 0, 0, 0};
  return module;
}

std::vector<std::int16_t> offline(const XmModule& module, std::int64_t frames) {
  SongPtr song = loadModule(module);
  std::vector<std::int16_t> out(2 * frames);
  EXPECT_TRUE(renderSong(song.get(), out.data(), frames));
  return out;
}

struct PlaybackFixture : ::testing::Test {
  FakeAudioBackend backend;
  void SetUp() override { installByteFileCallbacks(); }
  void TearDown() override { closeOutput(); }
  const std::int16_t* deviceRing() { return reinterpret_cast<const std::int16_t*>(backend.ring()); }
};

TEST_F(PlaybackFixture, OpenOutputNeedsAllFileOperations) {
  installFileCallbacks(nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(openOutput(44100));
  EXPECT_TRUE(backend.calls().empty()); // the device was not touched
  installByteFileCallbacks();
  port::setFailure(port::FailPoint::WaveOutOpen, true);
  EXPECT_FALSE(openOutput(44100));
  port::setFailure(port::FailPoint::WaveOutOpen, false);
  EXPECT_TRUE(openOutput(44100));
  EXPECT_EQ(backend.calls(), (std::vector<std::string>{"open"}));
}

TEST_F(PlaybackFixture, StartPrimesTheWholeRingWithTheOfflineRender) {
  const XmModule module = busyModule();
  const std::vector<std::int16_t> expected = offline(module, 88400 + 3 * 884);
  SongPtr song = loadModule(module);
  ASSERT_TRUE(openOutput(44100));
  EXPECT_EQ(getPlayingOrder(song.get()), 0);
  ASSERT_TRUE(startSong(song.get()));
  EXPECT_EQ(backend.calls().back(), "play 353600");
  ASSERT_NE(deviceRing(), nullptr);
  EXPECT_EQ(std::memcmp(deviceRing(), expected.data(), RingValues * 2), 0);
  // Block 0's record: the position after its 884 frames (one row at speed 1, plus 2 frames).
  EXPECT_EQ(getPlayingRow(song.get()), 1);
  EXPECT_EQ(getPlayingTimeMs(song.get()), 20);

  // The cursor moves into block 3: blocks 0..2 are rendered afresh, block 3 is heard.
  // The queries move on before the block under them is rewritten; the renderer's index
  // says when the third block is done.
  backend.setBytesPlayed(3 * BlockBytes + 8);
  ASSERT_TRUE(waitFor([&] { return getPlayingTimeMs(song.get()) == 80; }));
  EXPECT_EQ(getPlayingRow(song.get()), 4);
  ASSERT_TRUE(waitFor([&] { return ring.writeBlock.load(std::memory_order_acquire) == 3; }));
  EXPECT_EQ(std::memcmp(deviceRing(), expected.data() + RingValues, 3 * 884 * 2 * 2), 0);
  EXPECT_TRUE(freeSong(song.release()));
  EXPECT_EQ(getPlayingRow(nullptr), 0);
}

TEST_F(PlaybackFixture, QueriesAnswerZeroUnlessPlaying) {
  SongPtr song = loadModule(busyModule());
  ASSERT_TRUE(openOutput(44100));
  EXPECT_EQ(getPlayingTimeMs(song.get()), 0);
  ASSERT_TRUE(startSong(song.get()));
  backend.setBytesPlayed(50 * BlockBytes);
  // Block 50 ends at frame 45084: 52 ticks (rows) have started by then.
  ASSERT_TRUE(waitFor([&] { return getPlayingRow(song.get()) == 51; }));
  EXPECT_GT(getPlayingTimeMs(song.get()), 1000);
  EXPECT_EQ(getPlayingTimeMs(nullptr), 0);
  EXPECT_TRUE(stopSong(song.get()));
  EXPECT_EQ(getPlayingTimeMs(song.get()), 0);
  EXPECT_EQ(getPlayingOrder(song.get()), 0);
  EXPECT_TRUE(stopSong(song.get())); // twice is harmless
  EXPECT_FALSE(stopSong(nullptr));
  EXPECT_FALSE(freeSong(nullptr));
  EXPECT_FALSE(startSong(nullptr));
}

TEST_F(PlaybackFixture, StopLeavesTheDeviceCyclingAndARestartResetsItFirst) {
  SongPtr song = loadModule(busyModule());
  ASSERT_TRUE(openOutput(44100));
  ASSERT_TRUE(startSong(song.get()));
  ASSERT_TRUE(stopSong(song.get()));
  EXPECT_NE(deviceRing(), nullptr); // still looping over the last ring
  EXPECT_EQ(backend.calls(), (std::vector<std::string>{"open", "play 353600"}));
  ASSERT_TRUE(startSong(song.get()));
  EXPECT_EQ(backend.calls(), (std::vector<std::string>{"open", "play 353600", "stop", "play 353600"}));
  EXPECT_EQ(getPlayingTimeMs(song.get()), 20); // from the start again
  closeOutput();
  EXPECT_EQ(backend.calls().back(), "close");
  EXPECT_EQ(getPlayingTimeMs(song.get()), 0); // closing stopped the playback first
}

TEST_F(PlaybackFixture, StopRightAfterStartWaitsForTheThread) {
  SongPtr song = loadModule(busyModule());
  ASSERT_TRUE(openOutput(44100));
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(startSong(song.get()));
    backend.setBytesPlayed(static_cast<std::uint64_t>(round * 7 % 100) * BlockBytes);
    ASSERT_TRUE(stopSong(song.get()));
  }
}

// Stopping leaves the song's voices ringing with its samples; freeing the song must take
// them along, or the next song's priming render mixes freed memory (the address
// sanitizer sees it; the voice table shows it).
TEST_F(PlaybackFixture, FreeingASongSilencesTheVoicesItLeftRinging) {
  ASSERT_TRUE(openOutput(44100));
  SongPtr first = loadModule(busyModule());
  ASSERT_TRUE(startSong(first.get()));
  ASSERT_TRUE(stopSong(first.get()));
  int ringing = 0;
  for (const Voice& voice : voices) ringing += voice.sample != nullptr;
  EXPECT_GT(ringing, 0) << "the case needs voices left with the song's samples";
  ASSERT_TRUE(freeSong(first.release()));
  for (const Voice& voice : voices) EXPECT_EQ(voice.sample, nullptr) << "voice " << voice.index;
  SongPtr second = loadModule(busyModule());
  ASSERT_TRUE(startSong(second.get()));
  backend.setBytesPlayed(10 * BlockBytes);
  EXPECT_TRUE(waitFor([&] { return getPlayingRow(second.get()) >= 10; }));
  EXPECT_TRUE(freeSong(second.release()));
}

// The queries read the heard block's index and then its record; the thread may move on
// and rewrite that record in between (when the reader is descheduled). A reading must
// never come from audio two seconds ahead: the heard song time only grows while the
// device moves forward in bursts of blocks.
TEST_F(PlaybackFixture, QueriesNeverReportARecordBeingRewritten) {
  SongPtr song = loadModule(busyModule());
  ASSERT_TRUE(openOutput(44100));
  ASSERT_TRUE(startSong(song.get()));
  std::atomic<bool> done{false};
  std::atomic<int> backwards{0};
  std::thread reader([&] {
    std::int32_t last = 0;
    while (!done.load(std::memory_order_acquire)) {
      const std::int32_t now = getPlayingTimeMs(song.get());
      if (now < last) backwards.fetch_add(1);
      last = now;
    }
  });
  std::uint64_t blocks = 0;
  for (int burst = 0; burst < 400; ++burst) {
    blocks += 97; // nearly a whole ring per poll: long bursts of rewriting
    backend.setBytesPlayed(blocks * BlockBytes);
    std::this_thread::sleep_for(std::chrono::milliseconds(6));
  }
  done.store(true, std::memory_order_release);
  reader.join();
  EXPECT_EQ(backwards.load(), 0);
  EXPECT_TRUE(freeSong(song.release()));
}

} // namespace
