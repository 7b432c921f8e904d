// Checks a recording of what a sound device played against the song as rendered offline:
// playedmatch PLAYED.raw SONG.wav. Both are 16-bit stereo at 44.1 kHz; PLAYED is raw
// frames, SONG a WAV with a plain 44-byte header. A device that runs dry for a moment
// (Wine writes a short stretch of silence then, and goes on with the next samples) may
// leave gaps of silence in the recording; they are skipped and counted. Prints what
// matched; exits 0 when every played frame after the first sound is the song's next
// frame or part of a gap, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr std::size_t WavHeaderBytes = 44;
constexpr std::size_t FrameBytes = 4;
constexpr double FramesPerSecond = 44100.0;

std::vector<std::uint32_t> readFrames(const char* path, std::size_t skip) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<std::uint32_t> frames;
  for (std::size_t at = skip; at + FrameBytes <= bytes.size(); at += FrameBytes) {
    std::uint32_t frame = 0;
    for (std::size_t i = 0; i < FrameBytes; ++i)
      frame |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    frames.push_back(frame);
  }
  return frames;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: playedmatch PLAYED.raw SONG.wav\n");
    return 2;
  }
  const std::vector<std::uint32_t> played = readFrames(argv[1], 0);
  const std::vector<std::uint32_t> song = readFrames(argv[2], WavHeaderBytes);
  std::size_t p = 0, s = 0;
  while (p < played.size() && played[p] == 0) ++p;
  while (s < song.size() && song[s] == 0) ++s;
  std::size_t gaps = 0, gapFrames = 0;
  while (p < played.size() && s < song.size()) {
    if (played[p] == song[s]) {
      ++p;
      ++s;
    } else if (played[p] == 0) { // a gap the device filled with silence
      ++gaps;
      for (; p < played.size() && played[p] == 0; ++p) ++gapFrames;
    } else {
      break;
    }
  }
  std::printf("%.2f s of the song played in order, %zu gap(s) of silence (%.0f ms)",
              static_cast<double>(s) / FramesPerSecond, gaps, static_cast<double>(gapFrames) * 1000 / FramesPerSecond);
  if (p < played.size() && s < song.size()) {
    std::printf("; then a frame that is not the song's, %.2f s into the song\n", static_cast<double>(s) / FramesPerSecond);
    return 1;
  }
  std::printf("\n");
  return 0;
}
