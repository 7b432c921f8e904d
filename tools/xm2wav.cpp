// xm2wav IN.xm OUT.wav [--seconds N] [--positions]: renders a module through the player's
// own block renderer to a 44.1 kHz 16-bit stereo WAV file. By default until the song's
// natural end (its first step back in the order list: the restart, or a jump to an earlier
// or the same position), at most 30 minutes; --seconds N renders exactly N seconds.
// --positions prints one line per block: block, order, row, elapsed ms. The peak level is
// printed at the end. Exit status: 0 written, 1 module refused, 2 usage or file error.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "direction/memoryfile.h"
#include "platform/port/wavheader.h"
#include "player/modulefile.h"
#include "player/player.h"
#include "player/render.h"
#include "player/song.h"

namespace {

constexpr int ExitWritten = 0;
constexpr int ExitRefused = 1;
constexpr int ExitUsage = 2;
constexpr std::int64_t LongestRenderSeconds = 30 * 60;
constexpr int StereoValues = 2;
constexpr double FullScale = 32768.0;
constexpr double DecibelsPerDecade = 20.0;

struct Options {
  const char* input = nullptr;
  const char* output = nullptr;
  double seconds = -1.0; // < 0: until the natural end
  bool positions = false;
};

struct ModuleBytes {
  std::vector<std::uint8_t> bytes;
};

void* openModuleBytes(const void* source) {
  const auto* module = static_cast<const ModuleBytes*>(source);
  return openMemoryFile(module->bytes.data(), static_cast<std::int32_t>(module->bytes.size()));
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--positions") == 0) {
      options.positions = true;
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      char* end = nullptr;
      options.seconds = std::strtod(argv[++i], &end);
      if (*end != '\0' || !(options.seconds >= 0.0) || options.seconds > LongestRenderSeconds) return false;
    } else if (!options.input) {
      options.input = argv[i];
    } else if (!options.output) {
      options.output = argv[i];
    } else {
      return false;
    }
  }
  return options.input && options.output;
}

// The header of a WAV file holding `dataBytes` bytes of the render.
std::array<std::uint8_t, port::WavHeaderBytes> wavHeader(std::uint32_t dataBytes) {
  return port::wavHeader(OfflineRate, StereoValues, dataBytes);
}

struct RenderResult {
  std::int64_t frames = 0;
  int peak = 0;
  bool naturalEnd = false;
};

// An existing writable file is removed first and written anew: rewriting a truncated
// file makes some file systems (ext4) flush it on close, which costs a render of a few
// minutes of audio about a third of its time. Links and other kinds are written through.
void replaceOutput(const char* path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (error || status.type() != fs::file_type::regular) return;
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) return; // refused below, as before
  fs::remove(path, error);
}

// The largest magnitude among `count` samples: the extremes first, eight lanes at a time
// where SSE2 is there.
int peakOf(const std::int16_t* samples, std::int64_t count) {
  std::int16_t low = 0, high = 0;
  std::int64_t k = 0;
#if defined(__SSE2__)
  __m128i lows = _mm_setzero_si128(), highs = _mm_setzero_si128();
  for (; k + 8 <= count; k += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + k));
    lows = _mm_min_epi16(lows, v);
    highs = _mm_max_epi16(highs, v);
  }
  alignas(16) std::int16_t lane[2][8];
  _mm_store_si128(reinterpret_cast<__m128i*>(lane[0]), lows);
  _mm_store_si128(reinterpret_cast<__m128i*>(lane[1]), highs);
  for (int j = 0; j < 8; ++j) {
    low = std::min(low, lane[0][j]);
    high = std::max(high, lane[1][j]);
  }
#endif
  for (; k < count; ++k) {
    low = std::min(low, samples[k]);
    high = std::max(high, samples[k]);
  }
  return std::max(int{high}, -int{low});
}

// Renders block by block into `out` (after a placeholder header), written in large pieces.
RenderResult renderTo(Song* song, std::ofstream& out, const Options& options) {
  constexpr std::size_t PieceSamples = 256 * 1024;
  OfflineRender render;
  RenderResult result;
  if (!render.start(song)) return result;
  const std::int64_t limit = options.seconds >= 0.0
                                 ? static_cast<std::int64_t>(std::llround(options.seconds * OfflineRate))
                                 : LongestRenderSeconds * OfflineRate;
  std::vector<std::int16_t> piece;
  piece.reserve(PieceSamples + static_cast<std::size_t>(render.blockFrames()) * StereoValues);
  const auto flush = [&] {
    out.write(reinterpret_cast<const char*>(piece.data()), static_cast<std::streamsize>(piece.size() * 2));
    piece.clear();
  };
  while (result.frames < limit) {
    const std::int16_t* block = render.nextBlock();
    std::int64_t frames = std::min<std::int64_t>(render.blockFrames(), limit - result.frames);
    if (options.seconds < 0.0 && render.endFrame() >= 0) {
      frames = std::min(frames, render.endFrame() - result.frames);
      result.naturalEnd = true;
    }
    result.peak = std::max(result.peak, peakOf(block, frames * StereoValues));
    piece.insert(piece.end(), block, block + frames * StereoValues);
    if (piece.size() >= PieceSamples) flush();
    if (options.positions && frames > 0) {
      const BlockPosition p = render.lastPosition();
      std::printf("%lld %d %d %d\n", static_cast<long long>(render.blocksRendered() - 1), p.order, p.row, p.elapsedMs);
    }
    result.frames += frames;
    if (result.naturalEnd) break;
  }
  flush();
  return result;
}

} // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: xm2wav IN.xm OUT.wav [--seconds N] [--positions]\n");
    return ExitUsage;
  }
  ModuleBytes module;
  std::ifstream in(options.input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "xm2wav: cannot read %s\n", options.input);
    return ExitUsage;
  }
  module.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  installFileCallbacks(openModuleBytes, memoryClose, memoryRead, memorySeek, memoryTell);
  const char* reason = nullptr;
  Song* song = createSongWithReason(&module, nullptr, &reason);
  if (!song) {
    std::fprintf(stderr, "xm2wav: %s refused: %s\n", options.input, reason ? reason : "not loadable");
    return ExitRefused;
  }
  replaceOutput(options.output);
  std::ofstream out(options.output, std::ios::binary);
  if (!out) {
    std::fprintf(stderr, "xm2wav: cannot write %s\n", options.output);
    freeSongData(song); // never played on the device: nothing to stop
    return ExitUsage;
  }
  const auto placeholder = wavHeader(0);
  out.write(reinterpret_cast<const char*>(placeholder.data()), static_cast<std::streamsize>(placeholder.size()));
  const RenderResult result = renderTo(song, out, options);
  freeSongData(song);
  const auto header = wavHeader(static_cast<std::uint32_t>(result.frames * StereoValues * 2));
  out.seekp(0);
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "xm2wav: writing %s failed\n", options.output);
    return ExitUsage;
  }
  const double seconds = static_cast<double>(result.frames) / OfflineRate;
  const char* why = options.seconds >= 0.0 ? "as asked" : result.naturalEnd ? "natural end" : "30-minute limit";
  const double peakDb = result.peak > 0 ? DecibelsPerDecade * std::log10(result.peak / FullScale) : -INFINITY;
  std::printf("%s: %.3f s (%s), peak %d of 32767 (%.2f dBFS)%s\n", options.output, seconds, why, result.peak, peakDb,
              result.peak >= 32767 ? ", clipped" : "");
  return ExitWritten;
}
